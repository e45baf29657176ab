// The output sink with its capture buffers and redirection file.
//
// writeout is the one door for command output. A capture that is on takes
// the text and nothing else sees it; otherwise the Command window gets it
// (opened first when AUTOCMD is on) and the redirection file gets every
// byte as well, open window or not. Capture buffers keep their last byte
// for the NUL and drop what does not fit.
#include "vek/core/support/output.h"

#include <cstring>
#include <memory>
#include <string>

#include "platform/files.h"
#include "platform/window.h"

namespace vek {

namespace {
std::unique_ptr<OutputState> state = std::make_unique<OutputState>();

constexpr int kShowCommand = 300;  // the menu command that opens the Command window
}  // namespace

void CaptureBuffer::append(const char* data, size_t length) {
    size_t room = Size - 1 - pos;
    size_t n = length < room ? length : room;
    std::memcpy(text + pos, data, n);
    pos += n;
    text[pos] = '\0';
}

void CaptureBuffer::rewind() {
    pos = 0;
    text[0] = '\0';
}

OutputState& outstate() { return *state; }

void resetoutput() {
    if (state->outfile) std::fclose(state->outfile);
    state = std::make_unique<OutputState>();
}

namespace {

CaptureBuffer* activecapture() {
    OutputState& st = *state;
    if (st.value.on) return &st.value;
    if (st.stack.on) return &st.stack;
    if (st.ext.on) return &st.ext;
    return nullptr;
}

void sink(const char* text, size_t length, bool tofile) {
    if (length == 0) return;
    if (CaptureBuffer* capture = activecapture()) {
        capture->append(text, length);
        return;
    }
    platform::WindowHost& host = platform::windowhost();
    if (!host.cmdopen() && state->autocmd) host.opencmd();
    if (host.cmdopen()) host.cmdappend(std::string_view(text, length));
    if (tofile && state->outfile) {
        std::fwrite(text, 1, length, state->outfile);
        std::fflush(state->outfile);
    }
}

}  // namespace

void writeout(const char* text, size_t length) { sink(text, length, true); }
void writeconsole(const char* text, size_t length) { sink(text, length, false); }

void puttext(Pieces pieces) {
    for (std::string_view piece : pieces) writeout(piece);
}

void putbuf(void*, const char* text, int32_t length) {
    if (length > 0) writeout(text, static_cast<size_t>(length));
}

void putfmtv(const char* format, FmtArgs args) { fmtsink(putbuf, nullptr, format, args); }

void puterror(Pieces pieces) {
    ++state->errors;
    if (state->cmdfile) {
        // One line per error: pieces that do not end the line themselves
        // (a message text alone) get the line feed here.
        writeout("#error: ");
        puttext(pieces);
        std::string_view last;
        for (std::string_view piece : pieces)
            if (!piece.empty()) last = piece;
        if (last.empty() || last.back() != '\n') writeout("\n");
        return;
    }
    errorbox(pieces);
}

int redirectout(const char* name, int append) {
    endredirect();
    if (name == nullptr) return 1;
    while (*name == ' ' || *name == '\t') ++name;
    if (*name == '\0') return 1;
    std::FILE* file = std::fopen(platform::hostpath(name).c_str(), append ? "a+" : "w+");
    if (file == nullptr) {
        puterror({"Can't Open ", name, " for output redirection\n"});
        return 0;
    }
    state->outfile = file;
    return 1;
}

void endredirect() {
    if (state->outfile) {
        std::fclose(state->outfile);
        state->outfile = nullptr;
    }
}

char* startvarcap() {
    state->value.on = true;
    state->value.rewind();
    return state->value.text;
}
void stopvarcap() { state->value.on = false; }

char* startstackcap() {
    state->stack.on = true;
    state->stack.rewind();
    return state->stack.text;
}
void stopstackcap() { state->stack.on = false; }

char* WinitFakeIo() {
    CaptureBuffer& ext = state->ext;
    ext.on = true;
    ext.text[ext.pos] = '\0';
    if (ext.pos + 1 < CaptureBuffer::Size) {
        ++ext.pos;
        ext.text[ext.pos] = '\0';
    }
    return ext.text + ext.pos;
}

void WinSetFakeIo() { state->ext.rewind(); }
void WinStopFakeIo() { state->ext.on = false; }

}  // namespace vek
