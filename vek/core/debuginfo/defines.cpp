// The #define tables of the source files.
#include <algorithm>
#include <cstring>

#include "vek/core/debuginfo/debuginfo.h"
#include "vek/core/debuginfo/lookup.h"

namespace vek {

namespace {

constexpr uint32_t MaxDefine = 512;

std::string textat(const DebugSection& sec, uint32_t address) {
    if (!sec.data || address < sec.base || address - sec.base >= sec.size) return {};
    const uint32_t pos = address - sec.base;
    const uint32_t room = std::min(sec.size - pos, MaxDefine);
    const char* p = reinterpret_cast<const char*>(sec.data) + pos;
    return std::string(p, strnlen(p, room));
}

}  // namespace

void builddefines(DebugInfo& di, const DebugSection& sec) {
    std::vector<const LineRecord*> modules;
    for (const LineRecord* r : di.lines)
        if (r->kind == kind::Module) modules.push_back(r);
    for (auto& f : di.files) {
        f->defines.clear();
        f->definetexts.clear();
    }
    for (size_t m = 0; m < modules.size(); ++m) {
        FileRecord* file = findfile(di, modules[m]->file);
        if (!file) continue;
        const uint32_t from = modules[m]->address;
        const bool last = m + 1 == modules.size();
        const uint32_t to = last ? 0xFFFFFFFFu : modules[m + 1]->address;
        for (const LineRecord* x : di.xrefs) {
            if (x->address <= from || x->address > to) continue;
            if (x->text.size() < 3 || x->text[1] != '#') continue;
            file->defines.push_back(x);
            file->definetexts.push_back(textat(sec, x->address));
        }
    }
}

}  // namespace vek
