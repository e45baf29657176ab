// Ending a program by unwinding to main, and unbuffered writes to the
// standard descriptors.
#include "toollib/quit.h"

#include <cerrno>
#include <new>
#include <unistd.h>

namespace tl {

void quit(int status) { throw QuitRequest{status}; }

int runmain(const std::function<int()>& body) {
    try {
        return body();
    } catch (const QuitRequest& q) {
        return q.status;
    } catch (const std::bad_alloc&) {
        puterr("no memory\n");
        return 1;
    }
}

namespace {
bool writeall(int fd, std::string_view text) {
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}
}  // namespace

bool puterr(std::string_view text) { return writeall(2, text); }
bool putout(std::string_view text) { return writeall(1, text); }

}  // namespace tl
