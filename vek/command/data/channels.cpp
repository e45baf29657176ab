// Host-file channels of the command language: fopen, fclose, rewind,
// remove, fwrite (printf-style output of target expressions), fread
// (scanf-style input stored through "updat" commands), and pause.
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/window.h"
#include "vek/command/data/data.h"
#include "vek/command/expr/expr.h"
#include "vek/core/debuginfo/texts.h"
#include "vek/core/support/output.h"
#include "vek/core/support/text.h"

namespace vek {

namespace {

using namespace datacmd;

constexpr uint32_t MaxField = 4096;      // width and precision
constexpr uint32_t MaxFloatField = 128;  // width of e, E, f, g, G


Channel* findchannel(int32_t number) {
    for (Channel& c : datastate().channels)
        if (c.number == number) return &c;
    return nullptr;
}

// A decimal channel number; false when there are no digits.
bool readnumber(Cursor& p, int32_t& n) {
    Cursor q = p;
    bool minus = *q == '-';
    if (minus) ++q;
    if (!std::isdigit(uint8_t(*q))) return false;
    int64_t v = 0;
    while (std::isdigit(uint8_t(*q))) {
        v = v * 10 + (*q++ - '0');
        if (v > 0x7FFFFFFF) v = 0x7FFFFFFF;
    }
    n = int32_t(minus ? -v : v);
    p = q;
    return true;
}

// The path: the rest of the statement without trailing blanks.
std::string pathof(Cursor& p) {
    p = skipblanks(p);
    Cursor start = p;
    while (*p && *p != ';' && *p != '}') ++p;
    Cursor end = p;
    while (end > start && uint8_t(end[-1]) <= ' ') --end;
    return std::string(start, size_t(end - start));
}

}  // namespace

Cursor cmdfopen(Debugger&, Cursor text, int) {
    Cursor p = skipblanks(text);
    bool append = false;
    int32_t number = 0;
    // an absolute file name is not options; "/c:n" and "/a/c:n" are
    auto isname = [](Cursor w) {
        for (Cursor q = w; *q && uint8_t(*q) > ' '; ++q)
            if (*q == ':') return false;
        return isabsolutepath(w);
    };
    while (*p == '/' && !isname(p)) {
        ++p;
        while (*p && uint8_t(*p) > ' ') {
            const char c = char(std::toupper(uint8_t(*p)));
            if (c == 'A') {
                append = true;
                ++p;
            } else if (c == 'C') {
                if (p[1] != ':') {
                    puterror({"Wrong option ", p, "\n"});
                    return lineend(text);
                }
                Cursor q = p + 2;
                if (!readnumber(q, number)) {
                    puterror({"Wrong option ", p, "\n"});
                    return lineend(text);
                }
                p = q;
            } else {
                puterror({"Unknown Option ", p, "\n"});
                return lineend(text);
            }
        }
        p = skipblanks(p);
    }
    if (findchannel(number)) {
        puterror({"Channel ", std::to_string(number), " already used", "\n"});
        return lineend(text);
    }
    const std::string path = pathof(p);
    std::FILE* f = nullptr;
    if (!path.empty()) {
        std::FILE* probe = std::fopen(path.c_str(), "r");
        const bool exists = probe != nullptr;
        if (probe) std::fclose(probe);
        f = std::fopen(path.c_str(), append ? "a+" : exists ? "r+" : "w+");
    }
    if (!f) {
        puterror({"Can't Open:", path, "\n"});
        return lineend(text);
    }
    datastate().channels.push_front({number, f, path});
    return p;
}

namespace {

// The channel number of fclose and rewind: an optional "/C:", then digits.
bool channelarg(Cursor& p, int32_t& number) {
    p = skipblanks(p);
    if (*p == '/') {
        if (std::toupper(uint8_t(p[1])) != 'C' || p[2] != ':') {
            puterror({"Wrong option ", p + 1, "\n"});
            return false;
        }
        p += 3;
    }
    number = 0;
    readnumber(p, number);
    return true;
}

}  // namespace

Cursor cmdfclose(Debugger&, Cursor text, int) {
    Cursor p = text;
    int32_t number;
    if (!channelarg(p, number)) return lineend(text);
    auto& list = datastate().channels;
    for (auto it = list.begin(); it != list.end(); ++it)
        if (it->number == number) {
            // the channel's buffered writes reach the file now
            const bool ok = !std::ferror(it->file);
            if (std::fclose(it->file) != 0 || !ok) puterror({"Can't write ", it->path, "\n"});
            list.erase(it);
            return p;
        }
    puterror({"Unknown Channel:", std::to_string(number), "\n"});
    return p;
}

Cursor cmdrewind(Debugger&, Cursor text, int) {
    Cursor p = text;
    int32_t number;
    if (!channelarg(p, number)) return lineend(text);
    if (Channel* c = findchannel(number))
        std::rewind(c->file);
    else
        puterror({"Unknown Channel:", std::to_string(number), "\n"});
    return p;
}

Cursor cmdremove(Debugger&, Cursor text, int) {
    Cursor p = text;
    const std::string path = pathof(p);
    if (path.empty() || std::remove(path.c_str()) != 0) puterror({"Can't remove file: ", path, "\n"});
    return p;
}

Cursor cmdpause(Debugger& d, Cursor text, int) {
    Cursor p = skipblanks(text);
    uint32_t ms = 0;
    Cursor start = p;
    while (*p && uint8_t(*p) > ' ' && *p != ';' && *p != '}') ++p;
    // Without a number the wait is for a key; without a screen there is none.
    if (p == start || !isnumber(start, size_t(p - start), ms)) return p;
    platform::windowhost().setcursor(platform::Cursor::Wait);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!d.flags.stop) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= until) break;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(until - now, std::chrono::milliseconds(20)));
    }
    platform::windowhost().setcursor(platform::Cursor::Arrow);
    return p;
}

namespace {

// What fwrite and fread share: the channel, the format and the arguments.
struct FormatLine {
    Channel* channel = nullptr;
    std::string format;     // between the quotes, escapes not decoded
    Cursor args = nullptr;  // the argument list
};

bool readformatline(Cursor text, FormatLine& fl) {
    Cursor p = skipblanks(text);
    int32_t number = 0;
    if (!(p[0] == '/' && std::toupper(uint8_t(p[1])) == 'C' && p[2] == ':')) {
        puterror({" Missing channel ", "\n"});
        return false;
    }
    p += 3;
    readnumber(p, number);
    fl.channel = findchannel(number);
    if (!fl.channel) {
        puterror({" Unknown Channel: ", std::to_string(number), "\n"});
        return false;
    }
    p = skipblanks(p);
    if (*p != '"') {
        puterror({"Missing Format ", p, "\n"});
        return false;
    }
    Cursor start = ++p;
    while (*p && !(*p == '"' && p[-1] != '\\')) ++p;
    if (!*p) {
        puterror({"Invalid Format: ", start, "\n"});
        return false;
    }
    fl.format.assign(start, size_t(p - start));
    p = skipblanks(p + 1);
    if (*p == ',') ++p;
    fl.args = p;
    return true;
}

// Where the argument list ends (its ';', or the end).
Cursor argsend(Cursor p) {
    while (*p && *p != ';') ++p;
    return p;
}

// Reports format text left over or arguments left over; returns where the
// interpreter goes on.
Cursor finishformat(const FormatLine& fl, size_t left, Cursor args, bool* clean = nullptr) {
    args = skipblanks(args);
    if (clean) *clean = false;
    if (left < fl.format.size()) {
        puterror({"Format Error (or missing args) at: ", std::string_view(fl.format).substr(left), "\n"});
        return argsend(args);
    }
    if (*args == ',') args = skipblanks(args + 1);
    if (*args && *args != ';') {
        puterror({"Too many arguments: ", std::string_view(args, size_t(argsend(args) - args)), "\n"});
        return argsend(args);
    }
    if (clean) *clean = true;
    return args;
}

struct Spec {
    bool left = false, plus = false, space = false, alt = false, zero = false;
    int64_t width = -1, precision = -1;
    char conv = 0;
};

// The next argument: false at the end of the list or after an error
// (reported; error set).
bool nextarg(Cursor& args, ExprPtr& value, bool& error) {
    args = skipblanks(args);
    if (*args == ',') args = skipblanks(args + 1);
    if (!*args || *args == ';') return false;
    int e = 0;
    Cursor start = args;
    value.reset(xexpr(args, e, 1));
    if (e) {
        Cursor end = args;
        while (*end && *end != ',' && *end != ';') ++end;
        puterror({msgtext(e), ": ", std::string_view(start, size_t(end - start)), "\n"});
        error = true;
        return false;
    }
    return true;
}

double asdouble(const ExprValue& v) {
    if (v.isfloat()) return v.dbl();
    if (!v.derived() && (v.base() == tc::LLong)) return double(int64_t(v.bits));
    if (!v.derived() && (v.base() == tc::ULLong)) return double(v.bits);
    return inttodbl(v.u32(), v.derived() ? tc::ULong : v.base());
}

// One conversion field put together from its flags, width, precision and text.
std::string field(const Spec& s, std::string text, bool signedconv) {
    std::string sign, prefix;
    if (signedconv) {
        if (!text.empty() && text[0] == '-') {
            sign = "-";
            text.erase(0, 1);
        } else if (s.plus) {
            sign = "+";
        } else if (s.space) {
            sign = " ";
        }
    }
    const bool integer = std::strchr("diuoxXp", s.conv) != nullptr;
    if (s.alt) {
        if (s.conv == 'o' && (text.empty() || text[0] != '0')) prefix = "0";
        if ((s.conv == 'x' || s.conv == 'X') && !text.empty() && text != "0") prefix = s.conv == 'x' ? "0x" : "0X";
        if (s.conv == 'p') prefix = "0x";
    }
    size_t body = text.size();
    if (integer && s.precision > int64_t(body)) body = size_t(s.precision);
    const size_t used = sign.size() + prefix.size() + body;
    const size_t pad = s.width > int64_t(used) ? size_t(s.width) - used : 0;
    const bool zeros = s.zero && !s.left && !(integer && s.precision >= 0 && s.conv != 'p');
    std::string out;
    if (!s.left) {
        if (zeros) {
            out += sign;
            sign.clear();
        }
        out.append(pad, zeros ? '0' : ' ');
    }
    out += sign + prefix;
    if (body > text.size()) out.append(body - text.size(), '0');
    out += text;
    if (s.left) out.append(pad, ' ');
    return out;
}

// Formats the whole line into out; false after an error was reported.
// `used` is how much of the format was consumed.
bool formatline(const FormatLine& fl, std::string& out, size_t& used, Cursor& args) {
    const std::string& f = fl.format;
    size_t i = 0;
    auto bad = [&](size_t at) {
        used = at;
        return true;
    };
    while (i < f.size()) {
        if (f[i] == '\\') {
            const char* c = f.c_str() + i;
            out += char(escchar(c));
            i = size_t(c - f.c_str()) + 1;
            continue;
        }
        if (f[i] != '%') {
            out += f[i++];
            continue;
        }
        const size_t at = i++;
        Spec s;
        for (; i < f.size() && std::strchr("-+ #", f[i]); ++i)
            (f[i] == '-' ? s.left : f[i] == '+' ? s.plus : f[i] == ' ' ? s.space : s.alt) = true;
        ExprPtr v;
        bool error = false;
        bool star = false;
        auto number = [&](int64_t& into) -> bool {
            star = false;
            if (i < f.size() && f[i] == '*') {
                ++i;
                star = true;
                if (!nextarg(args, v, error)) return false;
                into = int64_t(v->i32());
                return true;
            }
            if (i < f.size() && std::isdigit(uint8_t(f[i]))) {
                into = 0;
                while (i < f.size() && std::isdigit(uint8_t(f[i]))) {
                    into = into * 10 + (f[i++] - '0');
                    if (into > int64_t(MaxField) + 1) into = int64_t(MaxField) + 1;
                }
            }
            return true;
        };
        if (i < f.size() && f[i] == '0') s.zero = true;
        if (!number(s.width)) return error ? false : bad(at);
        if (star && s.width < 0) {
            s.left = true;
            s.width = -s.width;
        }
        if (i < f.size() && f[i] == '.') {
            ++i;
            s.precision = 0;
            if (!number(s.precision)) return error ? false : bad(at);
            if (s.precision < 0) s.precision = -1;
        }
        if (s.width > int64_t(MaxField) || s.precision > int64_t(MaxField)) return bad(at);
        while (i < f.size() && (f[i] == 'l' || f[i] == 'L' || f[i] == 'h')) ++i;
        if (i >= f.size()) return bad(at);
        s.conv = f[i++];
        if (!std::strchr("diuoxXpceEfgG", s.conv)) {
            out += s.conv;
            continue;
        }
        if (!nextarg(args, v, error)) return error ? false : bad(at);
        char buf[MaxFloatField + 64];
        const uint32_t u = v->isfloat() ? dbltoint(v->dbl(), tc::ULong) : v->u32();
        const bool zero = u == 0 && s.precision == 0;
        switch (s.conv) {
        case 'd': case 'i':
            std::snprintf(buf, sizeof buf, "%d", int(int32_t(u)));
            out += field(s, zero ? "" : buf, true);
            break;
        case 'u':
            std::snprintf(buf, sizeof buf, "%u", unsigned(u));
            out += field(s, zero ? "" : buf, false);
            break;
        case 'o':
            std::snprintf(buf, sizeof buf, "%o", unsigned(u));
            out += field(s, zero ? "" : buf, false);
            break;
        case 'x': case 'X':
            std::snprintf(buf, sizeof buf, s.conv == 'x' ? "%x" : "%X", unsigned(u));
            out += field(s, zero ? "" : buf, false);
            break;
        case 'p':
            std::snprintf(buf, sizeof buf, s.alt ? "%x" : "%u", unsigned(u));
            out += field(s, buf, false);
            break;
        case 'c': {
            Spec c = s;
            c.precision = -1;
            out += field(c, std::string(1, char(u & 0xFF)), false);
            break;
        }
        default: {
            if (s.width > int64_t(MaxFloatField)) return bad(at);
            const int maxprec = s.conv == 'f' ? 21 : 17;
            int prec = s.precision < 0 ? 6 : int(std::min<int64_t>(s.precision, maxprec));
            const char plain[] = {'%', '.', '*', s.conv, 0}, alt[] = {'%', '#', '.', '*', s.conv, 0};
            const double d = asdouble(*v);
            std::snprintf(buf, sizeof buf, s.alt ? alt : plain, prec, d);
            Spec e = s;
            e.alt = false;
            e.precision = -1;
            out += field(e, buf, true);
        }
        }
    }
    used = f.size();
    return true;
}

}  // namespace

Cursor cmdfwrite(Debugger&, Cursor text, int) {
    FormatLine fl;
    if (!readformatline(text, fl)) return lineend(text);
    std::string out;
    size_t used = 0;
    Cursor args = fl.args;
    if (!formatline(fl, out, used, args)) return argsend(args);
    bool clean = false;
    Cursor after = finishformat(fl, used, args, &clean);
    if (clean) {
        std::fwrite(out.data(), 1, out.size(), fl.channel->file);
        std::fflush(fl.channel->file);
    }
    return after;
}

namespace {

// The reader of one fread: characters with one push-back, the count read.
struct Reader {
    std::FILE* file;
    int pushed = -2;
    uint32_t count = 0;
    int get() {
        int c;
        if (pushed != -2) {
            c = pushed;
            pushed = -2;
        } else {
            c = std::fgetc(file);
        }
        if (c != EOF) ++count;
        return c;
    }
    void unget(int c) {
        if (c == EOF) return;
        pushed = c;
        --count;
    }
    int peek() {
        int c = get();
        unget(c);
        return c;
    }
    void skipwhite() {
        int c;
        while ((c = get()) != EOF && std::isspace(c)) {}
        unget(c);
    }
};

// The lvalue texts of the argument list, in order.
struct Targets {
    Cursor p;
    std::string next() {
        p = skipblanks(p);
        if (*p == ',') p = skipblanks(p + 1);
        Cursor start = p;
        int depth = 0;
        while (*p && *p != ';' && !(depth == 0 && *p == ',')) {
            if (*p == '(' || *p == '[') ++depth;
            if ((*p == ')' || *p == ']') && depth > 0) --depth;
            ++p;
        }
        Cursor end = p;
        while (end > start && uint8_t(end[-1]) <= ' ') --end;
        return std::string(start, size_t(end - start));
    }
};

int digitvalue(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

}  // namespace

Cursor cmdfread(Debugger& d, Cursor text, int) {
    FormatLine fl;
    if (!readformatline(text, fl)) return lineend(text);
    Reader in{fl.channel->file};
    Targets targets{fl.args};
    std::FILE* journal = d.journal;
    d.journal = nullptr;
    auto store = [&](bool skip, const std::string& value) {
        if (skip) return;
        const std::string line = "updat " + targets.next() + " " + value;
        d.docmd(line.c_str(), 0);
    };
    const std::string& f = fl.format;
    size_t i = 0;
    while (i < f.size()) {
        const char c = f[i];
        if (c == ' ' || c == '\t' || c == '\n' || (c == '\\' && i + 1 < f.size() && (f[i + 1] == 'n' || f[i + 1] == 't'))) {
            const int got = in.peek();
            if (got == EOF || !std::isspace(got)) break;
            in.skipwhite();
            while (i < f.size() && (f[i] == ' ' || f[i] == '\t' || f[i] == '\n' ||
                                    (f[i] == '\\' && i + 1 < f.size() && (f[i + 1] == 'n' || f[i + 1] == 't'))))
                i += f[i] == '\\' ? 2 : 1;
            continue;
        }
        if (c != '%' || (i + 1 < f.size() && f[i + 1] == '%')) {
            char want = c;
            size_t next = i + (c == '%' ? 2 : 1);
            if (c == '\\') {
                const char* q = f.c_str() + i;
                want = char(escchar(q));
                next = size_t(q - f.c_str()) + 1;
            }
            const int got = in.get();
            if (got != uint8_t(want)) {
                in.unget(got);
                break;
            }
            i = next;
            continue;
        }
        const size_t at = i++;
        bool skip = false;
        if (i < f.size() && f[i] == '*') {
            skip = true;
            ++i;
        }
        uint32_t width = 0;
        while (i < f.size() && std::isdigit(uint8_t(f[i]))) {
            width = std::min<uint32_t>(width * 10 + uint32_t(f[i++] - '0'), MaxField + 1);
        }
        bool half = false;
        while (i < f.size() && (f[i] == 'l' || f[i] == 'L' || f[i] == 'h')) half = f[i++] == 'h' || half;
        if (i >= f.size() || width > MaxField) {
            i = at;
            break;
        }
        const char conv = f[i++];
        if (conv != 'n' && conv != 'c' && conv != '[') in.skipwhite();
        bool ok = true;
        switch (conv) {
        case 'n': store(skip, std::to_string(in.count)); break;
        case 'c': {
            const uint32_t n = width ? width : 1;
            for (uint32_t k = 0; k < n && ok; ++k) {
                const int ch = in.get();
                if (ch == EOF) ok = false;
                else store(skip, std::to_string(uint8_t(ch)));
            }
            break;
        }
        case 's': case '[': {
            std::string set;
            bool negate = false;
            if (conv == '[') {
                if (i < f.size() && f[i] == '^') {
                    negate = true;
                    ++i;
                }
                const size_t close = f.find(']', i + 1 <= f.size() && i < f.size() && f[i] == ']' ? i + 1 : i);
                if (close == std::string::npos) {
                    i = at;
                    ok = false;
                    break;
                }
                set = f.substr(i, close - i);
                i = close + 1;
            }
            uint32_t n = 0;
            for (;;) {
                if (width && n >= width) break;
                const int ch = in.get();
                const bool in_set = conv == 's' ? ch != EOF && !std::isspace(ch)
                                                : ch != EOF && (set.find(char(ch)) != std::string::npos) != negate;
                if (!in_set) {
                    in.unget(ch);
                    break;
                }
                store(skip, std::to_string(uint8_t(ch)));
                ++n;
            }
            if (n == 0) ok = false;
            else store(skip, "0");
            break;
        }
        case 'd': case 'i': case 'u': case 'o': case 'x': case 'X': case 'p': {
            uint32_t n = 0;
            const uint32_t limit = width ? width : 0xFFFFFFFFu;
            int ch = in.get();
            bool minus = false;
            if ((ch == '-' || ch == '+') && n < limit) {
                minus = ch == '-';
                ++n;
                ch = in.get();
            }
            int base = conv == 'o' ? 8 : (conv == 'x' || conv == 'X') ? 16 : 10;
            bool digits = false;
            if ((conv == 'i' || conv == 'p' || conv == 'x' || conv == 'X') && ch == '0' && n < limit) {
                const int ch2 = in.get();
                if ((ch2 == 'x' || ch2 == 'X') && n + 1 < limit) {
                    base = 16;
                    n += 2;
                    ch = in.get();
                } else {
                    in.unget(ch2);
                    if (conv == 'i') base = 8;
                    digits = true;
                    ++n;
                    ch = in.get();
                }
            }
            uint64_t value = 0;
            bool overflow = false;
            while (n < limit && ch != EOF && digitvalue(ch) < base) {
                digits = true;
                value = value * unsigned(base) + unsigned(digitvalue(ch));
                if (value > 0xFFFFFFFFu) {
                    value = 0;
                    overflow = true;
                }
                ++n;
                ch = in.get();
                if (overflow) break;
            }
            in.unget(ch);
            if (!digits) {
                ok = false;
                break;
            }
            if (half) {
                char h[16];
                std::snprintf(h, sizeof h, "0x%x", unsigned(value));
                store(skip, h);
            } else {
                store(skip, (minus ? "=-" : "") + std::to_string(value));
            }
            break;
        }
        case 'e': case 'E': case 'f': case 'g': case 'G': {
            if (width > MaxFloatField) {
                i = at;
                ok = false;
                break;
            }
            const uint32_t limit = width ? width : MaxFloatField;
            std::string t;
            int ch = in.get();
            auto take = [&] {
                t += char(ch);
                ch = in.get();
            };
            if ((ch == '-' || ch == '+') && t.size() < limit) take();
            bool digits = false;
            while (t.size() < limit && ch != EOF && std::isdigit(ch)) digits = true, take();
            if (t.size() < limit && ch == '.') {
                take();
                while (t.size() < limit && ch != EOF && std::isdigit(ch)) digits = true, take();
            }
            if (digits && t.size() < limit && (ch == 'e' || ch == 'E')) {
                take();
                if (t.size() < limit && (ch == '-' || ch == '+')) take();
                bool exp = false;
                while (t.size() < limit && ch != EOF && std::isdigit(ch)) exp = true, take();
                if (!exp) digits = false;
            }
            in.unget(ch);
            if (!digits) {
                ok = false;
                break;
            }
            store(skip, t[0] == '-' ? "=" + t : t);
            break;
        }
        default:
            i = at;
            ok = false;
        }
        if (!ok) {
            if (i > at && i <= f.size()) {
                // a failed conversion: the rest of the format is left over
                i = at;
            }
            break;
        }
    }
    d.journal = journal;
    FormatLine rest = fl;
    return finishformat(rest, i, targets.p);
}

}  // namespace vek
