// The extension exports' way to the source windows, the file and function
// lists and the path editor.
#pragma once

namespace vek {
struct Debugger;
}
namespace vek::shell {
class MainWindow;
}

namespace vek::views {

class SourceViews;
class Browsers;

// Call after the shell's bindexports; unbind before the views go.
void bindsourceexports(shell::MainWindow& frame, Debugger& d, SourceViews& sources, Browsers& browsers);
void unbindsourceexports();

}  // namespace vek::views
