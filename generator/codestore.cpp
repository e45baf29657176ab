// The code-line store (see codestore.h).
#include "generator/codestore.h"

#include <cstring>

namespace cg {

void CodeStore::addchars(std::string_view text) {
    for (char c : text) {
        if (writepos_ % kChunk == kChunk - 1) ++writepos_;  // the chunk's closing NUL
        size_t chunk = writepos_ / kChunk;
        while (chunks_.size() <= chunk) {
            chunks_.push_back(std::make_unique<char[]>(kChunk));
            std::memset(chunks_.back().get(), 0, kChunk);
        }
        chunks_[chunk][writepos_ % kChunk] = c;
        ++writepos_;
    }
    // the text ends where the writing stopped: clear the byte after it, so
    // that a reader of a reused chunk never runs into an older function's text
    if (writepos_ % kChunk != kChunk - 1 && writepos_ / kChunk < chunks_.size())
        chunks_[writepos_ / kChunk][writepos_ % kChunk] = '\0';
}

std::string_view CodeStore::takeline(bool& ok) {
    // a text claimed when the writing stood at a chunk's closing NUL starts
    // in the next chunk, where the writing went on
    if (readpos_ % kChunk == kChunk - 1) ++readpos_;
    size_t chunk = readpos_ / kChunk;
    ok = chunk < chunks_.size();
    if (!ok) return {};
    const char* base = chunks_[chunk].get();
    uint32_t off = readpos_ % kChunk;
    readpos_ = static_cast<uint32_t>((chunk + 1) * kChunk);
    size_t len = std::strlen(base + off);  // the chunk ends with a NUL
    return std::string_view(base + off, len);
}

}  // namespace cg
