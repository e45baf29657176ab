#include "toollib/memory.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/mman.h>

namespace tl {

namespace {
constexpr std::size_t kLargePage = std::size_t{2} << 20;
constexpr std::size_t kLargeFrom = kLargePage / 2;  // smaller sizes come from the heap as they are

std::size_t rounded(std::size_t bytes) { return (bytes + kLargePage - 1) & ~(kLargePage - 1); }
}  // namespace

void* largealloc(std::size_t bytes) {
    if (bytes < kLargeFrom) return ::operator new(bytes);
    if (bytes > SIZE_MAX - kLargePage) throw std::bad_alloc();
    std::size_t n = rounded(bytes);
    void* p = std::aligned_alloc(kLargePage, n);
    if (!p) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    madvise(p, n, MADV_HUGEPAGE);
#endif
    return p;
}

void largefree(void* p, std::size_t bytes) {
    if (!p) return;
    if (bytes < kLargeFrom) ::operator delete(p);
    else std::free(p);
}

void ByteBuffer::reserve(std::size_t n) {
    if (n <= cap_) return;
    char* fresh = static_cast<char*>(largealloc(n));
    if (size_) std::memcpy(fresh, buf_, size_);
    largefree(buf_, cap_);
    buf_ = fresh;
    cap_ = n;
}

void ByteBuffer::clear() {
    largefree(buf_, cap_);
    buf_ = nullptr;
    size_ = cap_ = 0;
}

}  // namespace tl
