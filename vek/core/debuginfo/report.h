// Where the loader and the debug-information reader send their texts, and
// how they learn that the user asked them to stop. The debugger binds this to
// its output sink, error box and progress dialogs; tests capture the texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vek {

struct LoadReport {
    virtual ~LoadReport() = default;
    virtual void print(std::string_view text) = 0;      // console output
    virtual void error(std::string_view text) = 0;      // error box / "#error: " line
    virtual void errstream(std::string_view text) = 0;  // the standard error stream
    virtual bool stopped() { return false; }            // Cancel in a progress dialog

    // Progress of a load, for the progress dialogs (nothing by default).
    // Dialog 0 is the program file's (text: its path), 1 the debug
    // information's (total: the files and functions to build).
    virtual void progressopen(int dialog, std::string_view text, uint32_t total) { (void)dialog, (void)text, (void)total; }
    virtual void progressclose() {}
    // A part with its own bar: a section's name, address and size.
    virtual void progresstitle(std::string_view title, uint32_t address, uint32_t size) {
        (void)title, (void)address, (void)size;
    }
    virtual void progressstep(uint32_t amount) { (void)amount; }
    virtual void progressclear() {}
    // The file and function the debug information is built for.
    virtual void progresstexts(std::string_view file, std::string_view function) { (void)file, (void)function; }
};

// Collects everything; a test reads the three texts afterwards.
struct CaptureReport : LoadReport {
    std::string out, err, errs;
    bool stop = false;
    void print(std::string_view text) override { out += text; }
    void error(std::string_view text) override { err += text; err += '\n'; }
    void errstream(std::string_view text) override { errs += text; }
    bool stopped() override { return stop; }
};

}  // namespace vek
