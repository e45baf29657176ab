// The screen's side of the extension interface: the frame window's
// handles and services that the exports reach through ExportHost.
#pragma once

namespace vek::shell {

class MainWindow;

// Hands the frame to the exports (and to extensions as their main window);
// unbindexports forgets it again, leaving the exports without a screen.
void bindexports(MainWindow& frame);
void unbindexports();

}  // namespace vek::shell
