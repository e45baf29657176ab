// Shared libraries through the dynamic loader.
#include "platform/dll.h"

#include <climits>
#include <cstdlib>
#include <dlfcn.h>
#include <unistd.h>

namespace platform {

Library openlibrary(const std::string& path, std::string& error) {
    dlerror();
    Library lib{dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)};
    if (!lib) {
        const char* e = dlerror();
        error = e ? e : "cannot be loaded";
    }
    return lib;
}

Library programlibrary() { return Library{dlopen(nullptr, RTLD_NOW)}; }

void* findsymbol(Library lib, const char* name) { return lib ? dlsym(lib.handle, name) : nullptr; }

void closelibrary(Library lib) {
    if (lib) dlclose(lib.handle);
}

std::string realpathof(const std::string& path) {
    char* r = realpath(path.c_str(), nullptr);
    if (!r) return path;
    std::string s(r);
    std::free(r);
    return s;
}

std::string programdir() {
    std::string buf(PATH_MAX, '\0');
    const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return "./";
    buf.resize(size_t(n));
    const size_t slash = buf.rfind('/');
    return slash == std::string::npos ? "./" : buf.substr(0, slash + 1);
}

}  // namespace platform
