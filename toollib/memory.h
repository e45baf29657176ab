// Memory for the large tables of one run (a source's text, its lines, its
// symbols): pages that are touched once and kept to the end are cheaper in
// large units, and text read from a file needs no zero fill first.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace tl {

// Asks the system to back the whole large pages inside [p, p + bytes) with
// large pages; a hint, without effect on small ranges or where unsupported.
void largepages(const void* p, std::size_t bytes);

// v.reserve(n), the reserved storage given large pages.
template <class T>
void reservelarge(std::vector<T>& v, std::size_t n) {
    v.reserve(n);
    largepages(v.data(), v.capacity() * sizeof(T));
}

// A byte buffer whose new bytes are left as they are (to be overwritten),
// not zero-filled; large ones are given large pages.
class ByteBuffer {
public:
    char* data() { return buf_.get(); }
    const char* data() const { return buf_.get(); }
    std::size_t size() const { return size_; }
    std::size_t capacity() const { return cap_; }
    // Keeps the first size() bytes; the rest up to n is unset.
    void reserve(std::size_t n);
    // size() becomes n (at most capacity()).
    void setsize(std::size_t n) { size_ = n < cap_ ? n : cap_; }
    void clear() {
        buf_.reset();
        size_ = cap_ = 0;
    }

private:
    std::unique_ptr<char[]> buf_;
    std::size_t size_ = 0, cap_ = 0;
};

}  // namespace tl
