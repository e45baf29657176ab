// Random texts through the evaluator (both modes) and the statements: no
// crash, no hang, nothing left allocated (the sanitizer build checks leaks).
#include <random>

#include "fixture.h"

namespace {

using Fuzz = ExprFixture;

const char* const pieces[] = {
    "gi", "u", "p", "pp", "->", ".", "x ", "[", "]", "#", "(", ")", "*", "&", "-", "+", "/", "%", "<<", ">>",
    "<", "==", "=", "!", "~", "&&", "||", "'", "'a'", "1", "0x", "1.5e", "1e", "$r3", "$pc", "$time", ".v",
    "f():", "fx.c:", "sizeof", "(int)", "(struct pt *)", "(unsigned char)", "struct ", "enum color", "{", "}",
    ";", ",", "if ", "while ", "do ", "else ", "return", "(0)", "(1)", " ", "arr", "grid", "cp", "main", "RED",
    "bf", "ll", "d", "f", "b", "0", "7", "-1", "2#3", "\"", "?", ":", "@", "\t", "\xff", "e2", "cp[", "arr[#]",
    "(BYTE)", "/x ", "/S ", "0.0", "msg", "i", "j", "r", "nof():i", "(long double)", "(const int)", "(void *)",
};

std::string randomtext(std::mt19937& rng) {
    std::string t;
    int n = 1 + int(rng() % 12);
    for (int k = 0; k < n; ++k) t += pieces[rng() % (sizeof pieces / sizeof pieces[0])];
    return t;
}

TEST_F(Fuzz, RandomTextsEndCleanly) {
    std::mt19937 rng(4242);
    // Loops and element lists end at the stop request: at most 2000 polls
    // for each line.
    int polls = 0;
    vek::exprenv().hooks.stoprequested = [&] { return ++polls > 2000; };
    for (int k = 0; k < 20000; ++k) {
        std::string text = randomtext(rng);
        for (int mode : {0, 1}) {
            const char* p = text.c_str();
            int error = 0;
            vek::ExprValue* v = vek::xexpr(p, error, mode);
            ASSERT_TRUE(v) << text;
            ASSERT_GE(p, text.c_str());
            ASSERT_LE(p, text.c_str() + text.size());
            vek::xfree(v);
        }
        polls = 0;
        vek::execline(("x " + text).c_str(), 1);
        polls = 0;
        vek::execline(text.c_str(), 1);
        host.text.clear();
    }
}

}  // namespace
