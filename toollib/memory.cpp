#include "toollib/memory.h"

#include <cstdint>
#include <cstring>
#include <sys/mman.h>

namespace tl {

namespace {
constexpr std::uintptr_t kLargePage = std::uintptr_t{2} << 20;
}

void largepages(const void* p, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
    auto start = reinterpret_cast<std::uintptr_t>(p);
    std::uintptr_t first = (start + kLargePage - 1) & ~(kLargePage - 1);
    std::uintptr_t last = (start + bytes) & ~(kLargePage - 1);
    if (!p || last <= first) return;
    madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)p;
    (void)bytes;
#endif
}

void ByteBuffer::reserve(std::size_t n) {
    if (n <= cap_) return;
    std::unique_ptr<char[]> fresh(new char[n]);
    largepages(fresh.get(), n);
    if (size_) std::memcpy(fresh.get(), buf_.get(), size_);
    buf_ = std::move(fresh);
    cap_ = n;
}

}  // namespace tl
