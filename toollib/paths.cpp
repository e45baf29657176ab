// Include-directory lists: growing them, filling them from environment
// variables and list files, and keeping only the directories that exist.
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/files.h"
#include "toollib/quit.h"
#include "toollib/services.h"

namespace tl {

bool isdirsep(char c) { return c == '\\' || c == '/'; }

const char* lastdirsep(const char* path) {
    const char* last = nullptr;
    for (const char* p = path; *p; ++p)
        if (isdirsep(*p)) last = p;
    return last;
}

char* lastdirsep(char* path) {
    return const_cast<char*>(lastdirsep(static_cast<const char*>(path)));
}

void growlist(CountdownList& list) { list.capacity *= 2; }

void readpathfile(CountdownList& list, const std::string& path) {
    std::vector<LineToken> words;
    if (auto error = readcmdfile(path, words)) {
        // Missing or empty list files are not worth a word; damaged ones are.
        if ((*error)[0] != 'c' && (*error)[0] != 'n') putout(*error + "\n");
        return;
    }
    for (auto& w : words) {
        if (list.full()) growlist(list);
        list.append(w.word);
    }
}

CountdownList expandpaths(CountdownList& list) {
    CountdownList result(list.capacity);
    for (auto& entry : list.items) {
        if (!entry.empty() && isdirsep(entry.back())) entry.pop_back();
        switch (platform::pathkind(entry)) {
            case platform::PathKind::File:
                readpathfile(result, entry);
                break;
            case platform::PathKind::Directory:
                if (result.full()) growlist(result);
                result.append(entry);
                break;
            default:
                break;  // missing or neither file nor directory: dropped
        }
    }
    return result;
}

void addenvpaths(CountdownList& list, const char* name) {
    auto value = platform::envvar(name);
    if (!value) return;
    size_t start = 0;
    for (;;) {
        size_t end = value->find(';', start);
        std::string piece = value->substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (list.full()) {
            puterr("too many pathnames\n");
            quit(1);
        }
        if (!piece.empty() && piece.back() == '\\') piece.pop_back();
        list.append(std::move(piece));
        if (end == std::string::npos) break;
        start = end + 1;
    }
}

void* xalloc(size_t size, void* link) {
    void* block = std::malloc(size < sizeof(void*) ? sizeof(void*) : size);
    if (!block) {
        puterr("no memory\n");
        quit(1);
    }
    std::memcpy(block, &link, sizeof link);
    return block;
}

void* xrelease(void* block, void* value) {
    std::free(block);
    return value;
}

}  // namespace tl
