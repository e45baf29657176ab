// ApplicationTreeDisplay: the project pane shown or hidden.
#include "vek/views/projectexports.h"

#include "vek/command/ext/exports.h"
#include "vek/views/varwindows.h"

namespace vek {

namespace {
ProjectPane* bound = nullptr;
}

void bindprojectexports(ProjectPane& pane) {
    bound = &pane;
    exportstate().host.projectpane = [](int show) {
        if (bound->isVisible() != (show != 0)) bound->setVisible(show != 0);
        return bound->isVisible() ? 1 : 0;
    };
}

void unbindprojectexports() {
    exportstate().host.projectpane = nullptr;
    bound = nullptr;
}

}  // namespace vek
