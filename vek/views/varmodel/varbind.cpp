// Binding of the variable windows to the expression environment.
#include "vek/views/varmodel/varbind.h"

#include "vek/command/expr/expr.h"
#include "vek/core/exec/hooks.h"

namespace vek {

VarSource exprsource() {
    VarSource s;
    s.getbyte = [](uint32_t a) -> uint8_t { return exprenv().mem ? exprenv().mem->getbyte(a) : 0; };
    s.getreg = [](uint32_t r, uint8_t) -> uint32_t { return exprenv().regs ? dbgreg(*exprenv().regs, r) : 0; };
    return s;
}

LocalsFrame currentlocals(int core) {
    const FrameAccess& f = exprenv().frames;
    if (!f.current || !f.at) return {};
    int cur = f.current(core);
    if (cur < 0) return {};
    FrameView v = f.at(core, cur);
    return {v.func, v.base, v.setup};
}

VarAddrFn frameaddr(int core) {
    std::vector<FrameRef> chain;
    const FrameAccess& f = exprenv().frames;
    if (f.current && f.at && f.depth) {
        int cur = f.current(core), depth = f.depth(core);
        for (int i = cur < 0 ? depth : cur; i < depth; ++i) {
            FrameView v = f.at(core, i);
            chain.push_back({v.func, v.base, false});
        }
    }
    return [chain](const VarRecord& v) { return varaddr(v, chain); };
}

}  // namespace vek
