// vek: the simulator-debugger.
#include "toollib/quit.h"
#include "vek/start/start.h"

#ifdef VEK_HAVE_SHELL
#include "vek/shell/shellmain.h"
#endif
#ifdef VEK_HAVE_VIEWS
#include "vek/views/windows.h"
#endif

int main(int argc, char** argv) {
#ifdef VEK_HAVE_SHELL
    vek::ShellMain shell = vek::shellmain;
#ifdef VEK_HAVE_VIEWS
    vek::shell::attachviews = vek::views::attachviews;
#endif
#else
    vek::ShellMain shell = nullptr;
#endif
    return tl::runmain([&] { return vek::vekmain(argc, argv, shell); });
}
