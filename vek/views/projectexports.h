// The extension exports' way to the project pane.
#pragma once

namespace vek {

class ProjectPane;

// ApplicationTreeDisplay shows or hides this pane (only when its state
// differs); unbind before the pane goes.
void bindprojectexports(ProjectPane& pane);
void unbindprojectexports();

}  // namespace vek
