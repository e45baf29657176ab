// qvparsedump: run the C parser's front end and print what it knows.
#include "toollib/quit.h"
#include "tools/parsedump/parsedump.h"

int main(int argc, char** argv) {
    return tl::runmain([&] { return parsedump::run(argc, argv); });
}
