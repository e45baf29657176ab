// readcmdfile: a command file as a list of words with their line numbers.
// Words are separated by white space, quoted with "..." or '...' (quotes
// removed), and a '#' at the start of a word comments out the rest of the
// line. The file is read in two passes: the first cuts comments, drops empty
// lines and refuses overlong ones; the second splits the kept lines.
#include <cctype>

#include "platform/files.h"
#include "toollib/services.h"

namespace tl {

namespace {

constexpr size_t kLineLimit = 10238;  // longest accepted line, its line end included

bool isblank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool isquote(char c) { return c == '"' || c == '\''; }

// End of the word that starts at i, as the first pass sees it: a quoted word
// runs to its closing quote (or the end of the line) and ends just after it.
size_t wordend(const std::string& line, size_t i) {
    if (isquote(line[i])) {
        size_t close = line.find(line[i], i + 1);
        return close == std::string::npos ? line.size() : close + 1;
    }
    while (i < line.size() && !isblank(line[i])) ++i;
    return i;
}

struct KeptLine {
    std::string text;
    int number;
};

}  // namespace

std::string LineToken::encoded() const {
    std::string bytes = word;
    bytes.push_back('\0');
    bytes.push_back(static_cast<char>((line >> 8) & 0xFF));
    bytes.push_back(static_cast<char>(line & 0xFF));
    return bytes;
}

std::optional<std::string> readcmdfile(const std::string& path, std::vector<LineToken>& words) {
    words.clear();
    platform::TextReader in;
    if (!in.open(path)) return "can't open file " + path;

    std::vector<KeptLine> kept;
    std::string line;
    int number = 0;
    while (in.getline(line)) {
        ++number;
        if (line.size() + 1 > kLineLimit)
            return "line " + std::to_string(number) + " too long in file " + path;
        size_t i = 0;
        bool any = false;
        while (i < line.size()) {
            if (isblank(line[i])) {
                ++i;
                continue;
            }
            if (line[i] == '#') {
                line.resize(i);
                break;
            }
            any = true;
            i = wordend(line, i);
        }
        if (any) kept.push_back({line, number});
    }
    if (kept.empty()) return "no command found in " + path;

    for (const auto& k : kept) {
        const std::string& text = k.text;
        size_t i = 0;
        size_t firstend = std::string::npos;
        while (i < text.size()) {
            if (isblank(text[i])) {
                ++i;
                continue;
            }
            std::string word;
            if (isquote(text[i])) {
                char quote = text[i];
                size_t close = text.find(quote, i + 1);
                if (close == std::string::npos) {
                    // The line as it stands after splitting: cut after its first word.
                    std::string shown = firstend == std::string::npos ? text : text.substr(0, firstend);
                    return std::string("unmatched ") + quote + " in: " + shown;
                }
                word = text.substr(i + 1, close - i - 1);
                i = close + 1;
            } else {
                size_t end = wordend(text, i);
                word = text.substr(i, end - i);
                i = end;
            }
            if (firstend == std::string::npos) firstend = i;
            words.push_back({std::move(word), k.number});
        }
    }
    return std::nullopt;
}

}  // namespace tl
