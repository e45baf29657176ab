// Memory for the large tables of one run (a source's text, its lines, its
// symbols): pages that are touched once and kept to the end are cheaper in
// large units, and text read from a file needs no zero fill first.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace tl {

// Storage of at least `bytes` bytes, aligned for any object. From a size on,
// it is whole large pages, aligned to them, and the system is asked to back
// it with large pages (a hint: it has no effect where unsupported).
void* largealloc(std::size_t bytes);
void largefree(void* p, std::size_t bytes);  // bytes as given to largealloc

// An allocator for containers that may grow large.
template <class T>
struct LargeAllocator {
    using value_type = T;
    LargeAllocator() = default;
    template <class U>
    LargeAllocator(const LargeAllocator<U>&) {}
    T* allocate(std::size_t n) { return static_cast<T*>(largealloc(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) { largefree(p, n * sizeof(T)); }
    template <class U>
    bool operator==(const LargeAllocator<U>&) const { return true; }
};

template <class T>
using LargeVector = std::vector<T, LargeAllocator<T>>;

// A byte buffer whose new bytes are left as they are (to be overwritten),
// not zero-filled.
class ByteBuffer {
public:
    ByteBuffer() = default;
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;
    ~ByteBuffer() { clear(); }
    char* data() { return buf_; }
    const char* data() const { return buf_; }
    std::size_t size() const { return size_; }
    std::size_t capacity() const { return cap_; }
    // Keeps the first size() bytes; the rest up to n is unset.
    void reserve(std::size_t n);
    // size() becomes n (at most capacity()).
    void setsize(std::size_t n) { size_ = n < cap_ ? n : cap_; }
    void clear();

private:
    char* buf_ = nullptr;
    std::size_t size_ = 0, cap_ = 0;
};

}  // namespace tl
