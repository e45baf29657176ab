// The code-line store: where a function's generated text waits until the
// whole function has been read, laid out and written.
//
// Text is appended in chunks of 511 bytes, each followed by a NUL, and found
// again by its position (chunk = position / 512, offset = position % 512;
// position 0 means "no text"). A code-list node remembers where its text
// starts; its text ends with the mark "`". Text written since the last node
// claimed text is pending: the next node that takes text claims it (so that
// a line directive belongs to the code that follows it). The chunks are kept
// for the whole run and reused by every function.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace cg {

class CodeStore {
public:
    static constexpr uint32_t kChunk = 512;

    void restart() { writepos_ = pendpos_ = readpos_ = 1; }
    void addchars(std::string_view text);
    void storetexts(std::initializer_list<std::string_view> texts) {
        for (std::string_view t : texts) addchars(t);
    }
    uint32_t writepos() const { return writepos_; }
    void setwritepos(uint32_t pos) { writepos_ = pos; }  // rolling back a failed attempt
    bool pending() const { return pendpos_ != writepos_; }
    // The start of the pending text, which now belongs to the caller.
    uint32_t claim() {
        uint32_t start = pendpos_;
        pendpos_ = writepos_;
        return start;
    }
    // Reading back: point at a text, then take it chunk by chunk. takeline
    // returns an empty view with ok = false when the chunk does not exist.
    void setread(uint32_t pos) { readpos_ = pos; }
    std::string_view takeline(bool& ok);

private:
    std::vector<std::unique_ptr<char[]>> chunks_;
    uint32_t writepos_ = 1, pendpos_ = 1, readpos_ = 1;
};

}  // namespace cg
