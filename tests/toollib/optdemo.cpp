// A minimal program on the tool support library, as every pass is built:
// a table of options, parseopts, and a main that returns the status.
#include <cstdio>

#include "toollib/options.h"
#include "toollib/quit.h"

namespace {
int run(int argc, char** argv) {
    int32_t listing = 0;
    const char* output = nullptr;
    const char* errors = nullptr;
    tl::CountdownList includes(128);
    tl::setversion("V4.6.26", "22 Aug 2012");
    tl::parseopts(argc, argv, "PPC Macro-Assembler", "<files>",
                  {{"o*  output file name", &output},
                   {"+e*  error file name", &errors},
                   {"i*>  include path", &includes},
                   {"l  listing", &listing},
                   {"<q  quiet", &listing}});
    std::printf("listing=%d output=%s files=%d\n", listing, output ? output : "-", argc);
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    return tl::runmain([&] { return run(argc, argv); });
}
