// Where the loader and the debug-information reader send their texts, and
// how they learn that the user asked them to stop. The debugger binds this to
// its output sink, error box and progress dialogs; tests capture the texts.
#pragma once

#include <string>
#include <string_view>

namespace vek {

struct LoadReport {
    virtual ~LoadReport() = default;
    virtual void print(std::string_view text) = 0;      // console output
    virtual void error(std::string_view text) = 0;      // error box / "#error: " line
    virtual void errstream(std::string_view text) = 0;  // the standard error stream
    virtual bool stopped() { return false; }            // Cancel in a progress dialog
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
