// The screen's side of the extension interface: the frame window's
// handles and services that the exports reach through ExportHost.
#pragma once

#include <string>
#include <vector>

class QWidget;

namespace vek::shell {

class MainWindow;

// The "Interrupt Vectors" dialog over the lines ("0x%x %s"): 1 when closed
// with its button, 0 with Escape.
int showinterrupts(QWidget* owner, const std::vector<std::string>& lines);

// Hands the frame to the exports (and to extensions as their main window);
// unbindexports forgets it again, leaving the exports without a screen.
void bindexports(MainWindow& frame);
void unbindexports();

}  // namespace vek::shell
