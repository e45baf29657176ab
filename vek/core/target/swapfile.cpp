// The swap file: positional reads and writes of whole 512-byte slots.
#include "vek/core/target/swapfile.h"

#include <cerrno>
#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace vek {

SwapFile::~SwapFile() { close(); }

bool SwapFile::open()
{
    close();
    const char* dir = std::getenv("TMPDIR");
    if (!dir || !*dir) dir = "/tmp";
    name_ = dir;
    if (name_.back() != '/') name_ += '/';
    name_ += "vekswapXXXXXX";
    std::vector<char> templ(name_.begin(), name_.end());
    templ.push_back('\0');
    fd_ = mkstemp(templ.data());  // O_EXCL, mode 0600
    if (fd_ < 0) return false;
    name_ = templ.data();
    unlink(templ.data());  // nobody else can reach it; gone when closed
    return true;
}

void SwapFile::close()
{
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

namespace {

// Moves one whole slot, retrying short transfers.
template <class Buffer, class Call>
bool transfer(int fd, uint32_t slot, Buffer* data, Call call)
{
    if (fd < 0) return false;
    const off_t base = off_t(slot) * off_t(PageSize);
    size_t done = 0;
    while (done < PageSize) {
        ssize_t n = call(fd, data + done, PageSize - done, base + off_t(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

}  // namespace

bool SwapFile::readslot(uint32_t slot, uint8_t* data) { return transfer(fd_, slot, data, pread); }
bool SwapFile::writeslot(uint32_t slot, const uint8_t* data) { return transfer(fd_, slot, data, pwrite); }

}  // namespace vek
