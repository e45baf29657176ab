// parseopts and the texts it prints. One table of option texts drives both the
// matching of the command line and the usage text: the part of an option text before
// its first blank is walked together with the option word, literal by literal,
// with the modifiers '*', '#', '>' and '?' taking the option's value.
#include <cctype>
#include <cstring>

#include "platform/files.h"
#include "toollib/quit.h"
#include "toollib/services.h"

namespace tl {

namespace {
constexpr const char* kMaker = "ORBELT Software";
constexpr const char* kPlatformName = "Linux";

ToolContext& context_storage() {
    static ToolContext ctx;
    return ctx;
}

bool endsspec(char c) { return c == '\0' || c == ' ' || c == '\t'; }

// The option's value as it is collected while an option text is walked.
struct OptionValue {
    int32_t number = 1;
    const char* text = nullptr;
    bool star = false;    // a '*' was seen
    bool hash2 = false;   // "##": the number wins over the text
    bool append = false;  // '>'
};

void store(const OptionSpec& row, const OptionValue& v) {
    bool usetext = v.star && !v.hash2;
    if (auto list = std::get_if<CountdownList*>(&row.target)) {
        (*list)->append(usetext ? std::string(v.text) : std::to_string(v.number));
    } else if (auto text = std::get_if<const char**>(&row.target)) {
        if (usetext) **text = v.text;
    } else if (auto number = std::get_if<int32_t*>(&row.target)) {
        **number = v.number;
    }
}

// The argument of '*' or '#': the rest of the word, else the next word, else
// the empty text. Returns the argument; `pos` moves to the end of the word.
const char* takeargument(const char*& pos, int& argc, char**& argv) {
    if (*pos) {
        const char* arg = pos;
        pos += std::strlen(pos);
        return arg;
    }
    --argc;
    if (argc > 0) {
        ++argv;
        pos = *argv + std::strlen(*argv);
        return *argv;
    }
    return "";
}

int32_t takenumber(const char* text) {
    int32_t value = 0;
    bool fits = true;
    const char* end = parsenum(text, value, 1, fits);
    if (*end || !fits) {
        puterr("invalid number: " + std::string(text, *end ? end + 1 : end) + "\n");
        quit(1);
    }
    return value;
}

// Walks one option text against the word at pos. On success stores the value and
// returns the position where the text stopped; nullptr when it does not match.
const char* matchoption(const OptionSpec& row, const char* pos, int& argc, char**& argv, OptionValue& v) {
    const char* s = row.text;
    if (*s == '<') ++s;
    for (;; ++s) {
        char c = *s;
        if (endsspec(c)) {
            store(row, v);
            return pos;
        }
        switch (c) {
            case '*':
                v.star = true;
                v.text = takeargument(pos, argc, argv);
                break;
            case '#':
                if (s[1] == '#') {
                    ++s;
                    v.hash2 = true;
                }
                v.number = takenumber(takeargument(pos, argc, argv));
                break;
            case '>':
                v.append = true;
                break;
            case '?':
                v.number = static_cast<unsigned char>(*pos);
                if (*pos) ++pos;
                break;
            default:
                if (*pos != c) return nullptr;
                ++pos;
                break;
        }
    }
}
}  // namespace

void CountdownList::append(std::string text) {
    if (full()) {
        puterr("argument list overflow\n");
        quit(1);
    }
    items.push_back(std::move(text));
}

ToolContext& toolcontext() { return context_storage(); }
void resettoolcontext() { context_storage() = ToolContext{}; }

void initprogname(const char* path) {
    const char* sep = lastdirsep(path);
    const char* base = sep ? sep + 1 : path;
    std::string name;
    for (const char* p = base; *p && *p != '.'; ++p)
        name.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(*p))));
    ToolContext& ctx = toolcontext();
    ctx.progname = name;
    ctx.debug = platform::envvar("QVDEBUG").has_value();
}

void setversion(const std::string& version, const std::string& date) {
    toolcontext().version = version;
    toolcontext().date = date;
}

namespace {
std::string bannertext(const char* title) {
    const ToolContext& ctx = toolcontext();
    std::string text = kMaker;
    if (title && *title) {
        if (*title != ' ') text += ' ';
        text += title;
    }
    if (!ctx.version.empty()) text += " " + ctx.version;
    return text;
}
}  // namespace

void putbanner(const char* title) { puterr(bannertext(title)); }

void putversion(const char* title) {
    std::string text = bannertext(title);
    if (!toolcontext().date.empty()) text += " - " + toolcontext().date;
    text += std::string(" - ") + kPlatformName + "\n";
    puterr(text);
}

void putusage(const char* title, const char* files, const std::vector<OptionSpec>& options) {
    std::string text;
    if (files) text = bannertext(title) + "\nusage: " + toolcontext().progname + " [options] " + files + "\n";
    for (const auto& row : options) {
        if (row.text[0] == '<') continue;
        text += "    ";
        if (row.text[0] != '+') text += '-';
        text += row.text;
        text += '\n';
    }
    puterr(text);
}

void toomanyfiles() {
    puterr(toolcontext().progname + ": too many expanded filenames\n");
    quit(1);
}

void optionshook() {}

void parseopts(int& argc, char**& argv, const char* title, const char* files,
               const std::vector<OptionSpec>& options) {
    if (toolcontext().progname.empty()) initprogname(argc > 0 && argv[0] ? argv[0] : "");
    optionshook();
    bool anyoption = false;
    for (;;) {
        ++argv;
        if (argc) --argc;
        if (argc == 0) break;
        const char* word = *argv;
        const char* pos;
        if (word[0] == '-') {
            pos = word + 1;
            if (*pos == '\0') break;  // "-" alone is a file argument
            if (pos[0] == '-' && pos[1] == '\0') {
                --argc;
                ++argv;
                break;
            }
            if (std::strncmp(pos, "help", 4) == 0) {
                putusage(title, files, options);
                quit(1);
            }
            if (std::strncmp(pos, "vers", 4) == 0) {
                putversion(title);
                quit(1);
            }
        } else if (word[0] == '+') {
            pos = word;
        } else {
            break;
        }
        anyoption = true;
        while (*pos) {
            OptionValue value;
            const char* next = nullptr;
            for (const auto& row : options) {
                if ((next = matchoption(row, pos, argc, argv, value))) break;
            }
            if (!next) {
                if (!files) return;
                std::string text = toolcontext().progname + ": unknown option ";
                if (word[0] != '+') text += '-';
                text += pos;
                text += '\n';
                puterr(text);
                quit(1);
            }
            pos = next;
        }
        if (argc == 0) break;
    }
    if (!files) return;
    expandwild(argc, argv);
    if (!anyoption && argc == 0) {
        putusage(title, files, options);
        quit(1);
    }
}

}  // namespace tl
