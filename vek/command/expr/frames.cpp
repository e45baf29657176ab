// Frame navigation and variable lookup: which variable a name (or a
// "file:name" or "function():name" location) means, and in which call frame
// it lives; moving core 0's current frame along the call chain; copying a
// braced command body.
//
// The one idea: a name is looked for where C would see it from the current
// frame (its function, then file scope), and a function-scoped name in the
// innermost frame of that function, so an outer call's locals are reached
// while an inner call runs.
#include <cstring>

#include "vek/command/expr/internal.h"
#include "vek/core/debuginfo/texts.h"
#include "vek/core/support/output.h"

namespace vek {

using namespace exprimpl;

namespace {

struct LookupState {
    int error = 0;          // 52 after an unknown file or function
    bool framevars = true;  // the include-frame-variables flag
};
LookupState g_look;

FrameAccess& fa() { return exprenv().frames; }
int depth(int core) { return fa().depth && fa().at ? fa().depth(core) : 0; }
int current(int core) { return fa().current ? fa().current(core) : -1; }
void select(int core, int index) {
    if (fa().select) fa().select(core, index);
}
bool secondcore() { return exprenv().splitmask && (*exprenv().splitmask & 0x40); }
int cores() { return secondcore() ? 2 : 1; }

const VarRecord* scopevar(const FileRecord& file, std::string_view name) {
    const FunctionRecord* scope = filescope(file);
    return scope ? onvarlist(scope, name, true) : nullptr;
}

const VarRecord* fixedvar(const FunctionRecord* f, std::string_view name) {
    if (f)
        for (const VarRecord& v : f->vars)
            if ((v.sclass == sc::Fix || v.sclass == sc::FixExt) && v.name == name) return &v;
    return nullptr;
}

}  // namespace

const VarRecord* onvarlist(const FunctionRecord* func, std::string_view name, bool framevars) {
    if (!func) {
        puterror({"NULL blk to onvarlist!\n"});
        return nullptr;
    }
    const std::vector<VarRecord>& vars = func->vars;
    size_t i = 0;
    for (; i < vars.size() && (sc::isargument(vars[i].sclass) || vars[i].sclass == sc::IntrArg); ++i)
        if (vars[i].name == name) return &vars[i];
    for (; i < vars.size() && !vars[i].name.empty(); ++i) {
        const VarRecord& v = vars[i];
        if (v.sclass == sc::TType || v.name != name) continue;
        // Labels form the static part: seen only with the frame's variables.
        if (!framevars && v.sclass == sc::TLabel) continue;
        return &v;
    }
    return nullptr;
}

bool frameisloc(const FunctionRecord* func, uint32_t line, const LocationSpec& loc) {
    g_look.framevars = true;
    if (!func) return false;
    if (loc.file && (!func->file || func->file->name != loc.file)) return false;
    if (loc.function && func->name != loc.function) return false;
    if (loc.symbol && !onvarlist(func, loc.symbol, true)) return false;
    if (loc.line && loc.line != line) return false;
    return true;
}

const VarRecord* findstaticvar(const LocationSpec& loc) {
    const DebugInfo* di = exprenv().debug;
    if (!di || !loc.symbol) return nullptr;
    if (loc.file)
        for (auto& f : di->files)
            if (f->name == loc.file)
                if (const VarRecord* v = fixedvar(filescope(*f), loc.symbol)) return v;
    if (loc.function)
        if (const VarRecord* v = fixedvar(findfunc(*di, loc.function, nullptr), loc.symbol)) return v;
    return nullptr;
}

const VarRecord* findvar(const LocationSpec& loc, FrameRefIx& frame) {
    frame = {};
    g_look.error = 0;
    g_look.framevars = true;
    if (const VarRecord* v = findstaticvar(loc)) return v;
    if (!loc.function) return findlocvar(loc, frame);
    const DebugInfo* di = exprenv().debug;
    const FunctionRecord* f = di ? findfunc(*di, loc.function, loc.file) : nullptr;
    if (!f) {
        puterror({loc.function, "(): ", msgtext(76), "\n"});
        g_look.error = 52;
        return nullptr;
    }
    if (!loc.symbol) return nullptr;
    const VarRecord* var = onvarlist(f, loc.symbol, true);
    for (int core = 0; core < cores(); ++core)
        for (int i = 0, n = depth(core); i < n; ++i) {
            FrameView fv = fa().at(core, i);
            if (fv.func != f) continue;
            if (const VarRecord* v = onvarlist(f, loc.symbol, fv.setup)) {
                g_look.framevars = fv.setup;
                frame = {core, i};
                return v;
            }
        }
    return var;
}

const VarRecord* findlocvar(const LocationSpec& loc, FrameRefIx& frame) {
    frame = {};
    g_look.error = 0;
    g_look.framevars = true;
    const DebugInfo* di = exprenv().debug;
    if (!loc.symbol || !di) return nullptr;
    if (loc.file) {
        const FileRecord* file = findfile(*di, loc.file);
        if (!file) {
            puterror({loc.file, ": ", msgtext(75), "\n"});
            g_look.error = 52;
            return nullptr;
        }
        return scopevar(*file, loc.symbol);
    }
    if (loc.function) {
        const FunctionRecord* f = findfunc(*di, loc.function, nullptr);
        if (!f) {
            puterror({loc.function, "(): ", msgtext(76), "\n"});
            g_look.error = 52;
            return nullptr;
        }
        return onvarlist(f, loc.symbol, true);
    }
    for (int core = 0; core < cores(); ++core) {
        // The current frame's function with that frame's own set-up flag:
        // an outer frame chosen by 'move' has long set up its frame.
        int cur = current(core);
        if (cur >= 0 && cur < depth(core)) {
            FrameView fv = fa().at(core, cur);
            if (fv.func)
                if (const VarRecord* v = onvarlist(fv.func, loc.symbol, fv.setup)) {
                    g_look.framevars = fv.setup;
                    frame = {core, cur};
                    return v;
                }
        }
        g_look.framevars = true;
        for (auto& f : di->files)
            if (const VarRecord* v = scopevar(*f, loc.symbol)) return v;
    }
    return nullptr;
}

int lookuperror() { return g_look.error; }
bool framevarsflag() { return g_look.framevars; }

uint32_t frameaddr(const VarRecord& var, FrameRefIx frame) {
    FrameRef ref;
    size_t n = 0;
    if (frame.found() && frame.index < depth(frame.core)) {
        FrameView fv = fa().at(frame.core, frame.index);
        ref = {fv.func, fv.base, fv.setup};
        n = 1;
    }
    return varaddr(var, std::span<const FrameRef>(&ref, n));
}

void moveframe(char letter, const LocationSpec* loc) {
    int n = depth(0), cur = current(0);
    bool matching = loc && loc->given;
    auto matches = [&](int i) {
        FrameView fv = fa().at(0, i);
        return frameisloc(fv.func, fv.curline, *loc);
    };
    switch (letter) {
    case 'b':
        if (n > 0) select(0, 0);
        return;
    case 't':
        if (n > 0) select(0, n - 1);
        return;
    case 'u':
        if (cur < 0 || cur + 1 >= n) return;
        if (matching)
            for (int i = cur + 1; i < n; ++i)
                if (matches(i)) {
                    select(0, i);
                    return;
                }
        select(0, cur + 1);
        return;
    case 'd':
        if (cur <= 0) return;
        --cur;
        while (matching && cur > 0 && !matches(cur)) --cur;
        select(0, cur);
        return;
    default: puterror({"usage: i[udtb] (Up Down Top Bottom)\n"}); return;
    }
}

void listcallers() {
    int saved = current(0);
    if (saved < 0) return;
    for (int i = saved + 1; i < depth(0); ++i) {
        select(0, i);
        if (exprenv().hooks.listframesrc) exprenv().hooks.listframesrc();
    }
    select(0, saved);
}

bool readbracebody(const char*& cursor, std::string& body) {
    const char* p = cursor ? skipblanks(cursor) : nullptr;
    if (!p || !*p) return false;
    if (*p != '{') {
        const char* end = p + std::strcspn(p, ";");
        body.assign(p, size_t(end - p));
        cursor = end;
        return true;
    }
    const char* start = ++p;
    int level = 1;
    for (; *p; ++p) {
        if (*p == '{') ++level;
        if (*p == '}' && --level == 0) break;
    }
    body.assign(start, size_t(p - start));
    if (!*p) {
        puterror({"'}' missing, assumed at end of line\n"});
        cursor = p;
        return true;
    }
    cursor = skipblanks(p + 1);
    return true;
}

}  // namespace vek
