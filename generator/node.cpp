// The node pool (see node.h).
#include "generator/node.h"

namespace cg {

GenNode* NodePool::newnode() {
    if (used_ == nodes_.size()) nodes_.push_back(std::make_unique<GenNode>());
    GenNode* n = nodes_[used_++].get();
    *n = GenNode{};
    return n;
}

void NodePool::release() { used_ = 0; }

}  // namespace cg
