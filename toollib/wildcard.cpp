// expandwild: file arguments holding '*' or '?' are replaced by the names the
// directory search finds, with the pattern's directory part in front. Names
// keep their case, "." and ".." never appear, matches come sorted, and a
// pattern without a match is dropped.
#include <cstring>
#include <new>

#include "platform/files.h"
#include "toollib/services.h"

namespace tl {

void expandwild(int& argc, char**& argv) {
    ToolContext& ctx = toolcontext();
    std::vector<std::string> result;
    bool anywild = false;
    try {
        result.reserve(ctx.wildcapacity);
        for (int i = 0; i < argc; ++i) {
            const char* arg = argv[i];
            if (!std::strpbrk(arg, "*?")) {
                result.emplace_back(arg);
                continue;
            }
            anywild = true;
            const char* sep = lastdirsep(arg);
            std::string prefix = sep ? std::string(arg, sep + 1) : std::string();
            for (auto& name : platform::findfiles(arg)) {
                if (result.size() >= ctx.wildcapacity) {
                    ctx.wildcapacity *= 2;
                    result.reserve(ctx.wildcapacity);
                }
                result.push_back(prefix + name);
            }
        }
    } catch (const std::bad_alloc&) {
        toomanyfiles();
    }
    if (!anywild) return;
    ctx.wildstore = std::move(result);
    ctx.wildargv.clear();
    for (auto& s : ctx.wildstore) ctx.wildargv.push_back(s.data());
    ctx.wildargv.push_back(nullptr);
    argc = static_cast<int>(ctx.wildstore.size());
    argv = ctx.wildargv.data();
}

}  // namespace tl
