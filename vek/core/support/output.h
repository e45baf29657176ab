// The output sink: where every piece of command output and every error goes.
//
// writeout hands text to the first capture buffer that is on (value, stack,
// extension, in that order); otherwise to the Command window (opening it
// first when AUTOCMD asks for that) and, when an output file is open, to
// that file as well, whether or not the window is open. The capture buffers
// are bounded: text beyond the end of a buffer is dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "vek/core/support/format.h"
#include "vek/core/support/messages.h"

namespace vek {

struct CaptureBuffer {
    static constexpr size_t Size = 20480;
    char text[Size] = {};
    size_t pos = 0;     // where the next text goes; text[pos] is always NUL
    bool on = false;

    // Stores what fits before the last byte, then a NUL.
    void append(const char* data, size_t length);
    void rewind();
};

struct OutputState {
    CaptureBuffer value;   // Monitors window while it formats values
    CaptureBuffer stack;   // call-stack builder
    CaptureBuffer ext;     // extensions and the windows that show command output
    std::FILE* outfile = nullptr;  // the "output" command's redirection file
    bool cmdfile = false;  // a command file's lines are running: "#error: " lines
    bool autocmd = false;  // AUTOCMD=Y: output opens the Command window
    uint32_t errors = 0;   // errors reported through puterror
};

// The debugger's output state; resetoutput starts a fresh one (closes the
// redirection file).
OutputState& outstate();
void resetoutput();

void writeout(const char* text, size_t length);
inline void writeout(std::string_view text) { writeout(text.data(), text.size()); }
// As writeout, but never to the redirection file (console-only output).
void writeconsole(const char* text, size_t length);

void puttext(Pieces pieces);
// The sink function of putfmt.
void putbuf(void* context, const char* text, int32_t length);
void putfmtv(const char* format, FmtArgs args);
template <class... A>
void putfmt(const char* format, const A&... args) {
    const FmtArg list[] = {FmtArg(args)..., FmtArg()};
    putfmtv(format, FmtArgs(list, sizeof...(A)));
}
// "#error: " and the pieces while a command file runs (ended with a line
// feed when the pieces do not carry one), else the "Error" box.
void puterror(Pieces pieces);

// Closes the current file; an empty (or blank) name ends redirection and
// returns 1; otherwise opens the file for appending or truncated. Returns 0
// after reporting a file that cannot be opened.
int redirectout(const char* name, int append);
void endredirect();

char* startvarcap();
void stopvarcap();
char* startstackcap();
void stopstackcap();

// The extension capture protocol.
char* WinitFakeIo();
void WinSetFakeIo();
void WinStopFakeIo();

}  // namespace vek
