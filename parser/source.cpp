// Source files and logical lines. Files are read whole into memory (CR LF
// folded to LF, a UTF-8 byte-order mark dropped) and served physical line by
// physical line; getlogline replaces trigraphs, joins backslash-continued
// lines into one fixed buffer and records where each physical line starts,
// so tokens can be stamped with their physical line and column. The #line
// numbering belongs to the file that holds the directive: it is saved when a
// file is included and is in force again when that file ends.
#include <cstring>
#include <filesystem>

#include "parser/parser.h"
#include "parser/tokencodes.h"
#include "platform/files.h"
#include "platform/interrupt.h"
#include "toollib/services.h"

namespace cpppc {

namespace {

std::optional<std::string> loadsource(const std::string& name) {
    std::string host = platform::hostpath(name);
    if (platform::pathkind(host) != platform::PathKind::File) return std::nullopt;
    auto raw = platform::readfile(host);
    if (!raw) return std::nullopt;
    std::string text;
    text.reserve(raw->size());
    size_t i = 0;
    if (raw->compare(0, 3, "\xEF\xBB\xBF") == 0) i = 3;
    for (; i < raw->size(); ++i) {
        char c = (*raw)[i];
        if (c == '\r' && i + 1 < raw->size() && (*raw)[i + 1] == '\n') continue;
        // A NUL would end the logical line early and lose the rest of it.
        text.push_back(c == '\0' ? ' ' : c);
    }
    return text;
}

void listdependency(Parser& P, const std::string& name) {
    for (const SourceFile& f : P.src.files)
        if (f.name == name) return;
    std::string shown = name;
    if (P.opt.xp) {
        const char* sep = tl::lastdirsep(name.c_str());
        if (sep) shown = sep + 1;
    }
    int len = static_cast<int>(shown.size());
    P.src.depcolumn += len + 1;
    if (P.src.depcolumn > 78) {
        std::fputs(" \\\n", P.out ? P.out : stdout);
        P.src.depcolumn = len + 1;
    }
    std::FILE* out = P.out ? P.out : stdout;
    if (shown.find(' ') != std::string::npos) {
        std::fprintf(out, " \"%s\"", shown.c_str());
        P.src.depcolumn += 2;
    } else {
        std::fprintf(out, " %s", shown.c_str());
    }
}

// Reads one physical line of at most room - 1 characters to buf. Returns its
// length, or -1 at the end of all input.
long getphysline(Parser& P, char* buf, size_t room) {
    for (;;) {
        if (P.src.stack.empty()) return -1;
        OpenFile& f = P.src.stack.back();
        if (f.pos < f.content.size()) {
            size_t max = room - 1;
            size_t n = 0;
            while (n < max && f.pos < f.content.size()) {
                char c = f.content[f.pos++];
                buf[n++] = c;
                if (c == '\n') break;
            }
            ++f.file->line;
            if (f.override.hasline) ++f.override.line;
            return static_cast<long>(n);
        }
        if (P.src.opencomment) {
            putdiag(P, "unclosed comment at end of file");
            P.src.opencomment = false;
        }
        if (P.opt.x && !P.opt.e && !P.opt.md) {
            putspaces(P);
            filedebug(P, nullptr);
        }
        P.src.last = f.file;
        P.src.lastoverride = f.override;
        P.src.stack.pop_back();
    }
}

// Replaces the nine trigraphs in buf[0..len) in place; returns the new length.
size_t replacetrigraphs(char* buf, size_t len) {
    static const char from[] = "(/)'<!>-=";
    static const char to[] = "[\\]^{|}~#";
    size_t w = 0;
    for (size_t r = 0; r < len;) {
        if (r + 2 < len && buf[r] == '?' && buf[r + 1] == '?') {
            const char* p = std::strchr(from, buf[r + 2]);
            if (p && buf[r + 2]) {
                buf[w++] = to[p - from];
                r += 3;
                continue;
            }
        }
        buf[w++] = buf[r++];
    }
    return w;
}

}  // namespace

bool openinput(Parser& P, const std::string& name, bool search) {
    if (P.src.stack.size() >= kMaxIncludeDepth) {
        putdiag(P, "#include nested too deeply: %s", name.c_str());
        // A file that includes itself twice would branch out into 2^200
        // readings: the input ends here, and the run ends with this error.
        Sources& S = P.src;
        S.last = S.stack.back().file;
        S.lastoverride = S.stack.back().override;
        S.stack.clear();
        S.endofinput = true;
        S.held = false;
        return false;
    }
    std::string found = name;
    auto content = loadsource(name);
    if (!content && search && !name.empty() && !tl::isdirsep(name[0])) {
        for (const std::string& dir : P.src.searchlist) {
            if (dir.size() + name.size() + 1 > 510) {
                putdiag(P, "path too long: %.*s...", 40, dir.c_str());
                continue;
            }
            std::string path = platform::joinpath(dir, name);
            content = loadsource(path);
            if (content) {
                found = path;
                break;
            }
        }
    }
    if (!content) {
        putdiag(P, "can't open %s", name.c_str());
        return false;
    }
    if (P.opt.md) listdependency(P, found);
    P.src.files.emplace_back();
    SourceFile& file = P.src.files.back();
    file.name = found;
    OpenFile of;
    of.file = &file;
    of.content = std::move(*content);
    P.src.stack.push_back(std::move(of));
    P.src.last = &file;
    P.src.anyopened = true;
    return true;
}

const char* getlogline(Parser& P, bool cont) {
    Sources& S = P.src;
    char* buf = S.linebuf.data();
    size_t start;
    size_t room;
    if (cont && S.held) return nullptr;
    if (!cont) {
        if (platform::interrupted()) stopinterrupted(P);
        dropkepttexts(P);
        if (S.held) {
            // The tokens of the line before are gone: move the held line to
            // the start of the buffer.
            S.held = false;
            std::memmove(buf, buf + S.heldstart, S.heldlength + 1);
            std::memcpy(S.starts, S.heldstarts, sizeof S.starts);
            S.nstarts = S.heldnstarts;
            S.writepos = S.heldlength + 1;
            S.linestart = buf;
            return buf;
        }
        start = 0;
        room = kLineBufferSize - 1;
    } else {
        start = S.writepos;
        if (kLineBufferSize - start <= 1) return nullptr;
        room = kLineBufferSize - start - 1;
    }
    S.nstarts = 0;
    if (S.endofinput) return nullptr;
    size_t end = start;
    bool readany = false;
    bool full = false;
    for (;;) {
        if (room <= 1) {
            full = true;
            break;
        }
        long n = getphysline(P, buf + end, room);
        if (n < 0) {
            S.endofinput = true;
            if (!readany) return nullptr;
            break;
        }
        readany = true;
        if (S.nstarts < kMaxLineStarts) S.starts[S.nstarts++] = static_cast<uint32_t>(end - start);
        size_t len = static_cast<size_t>(n);
        if (len == 0 || buf[end + len - 1] != '\n') buf[end + len++] = '\n';
        room -= len;
        size_t newlen = replacetrigraphs(buf + end, len);
        room += len - newlen;
        end += newlen;
        if (room == 0) {
            full = true;
            break;
        }
        if (end - start < 2 || buf[end - 2] != '\\') break;
        end -= 2;
        room += 2;
    }
    buf[end] = '\0';
    S.writepos = end + 1;
    S.linestart = buf + start;
    if (full)
        putdiag(P, "line too long");
    else if (end - start > kLogicalLineLimit)
        putdiag(P, "logical line too long");
    return buf + start;
}

void holdline(Parser& P, const char* line) {
    Sources& S = P.src;
    S.held = true;
    S.heldstart = static_cast<size_t>(line - S.linebuf.data());
    S.heldlength = std::strlen(line);
    std::memcpy(S.heldstarts, S.starts, sizeof S.starts);
    S.heldnstarts = S.nstarts;
}

LineOverride& currentoverride(Parser& P) {
    return P.src.stack.empty() ? P.src.lastoverride : P.src.stack.back().override;
}

uint32_t srcline(Parser& P) {
    if (P.diagat) return P.diagline;
    if (P.ts.s.mode == streammode::Replaying) return P.ts.s.replayline;
    const LineOverride& o = currentoverride(P);
    if (o.hasline) return o.line;
    if (!P.src.stack.empty()) return P.src.stack.back().file->line;
    return P.src.last ? P.src.last->line : 0;
}

const std::string& srcfilename(Parser& P) {
    if (P.diagat) return P.diagfile;
    if (P.ts.s.mode == streammode::Replaying) return P.ts.s.replayfile;
    const LineOverride& o = currentoverride(P);
    if (o.hasname) return o.name;
    if (!P.src.stack.empty()) return P.src.stack.back().file->name;
    return P.src.last ? P.src.last->name : P.srcname;
}

SourceFile* srcfile(Parser& P) {
    if (P.ts.s.mode == streammode::Replaying) return P.ts.s.replaysource;
    if (!P.src.stack.empty()) return P.src.stack.back().file;
    return P.src.last;
}

int srcpos(Parser& P, uint32_t& line, int& column) {
    if (P.diagat) {
        line = P.diagline;
        column = P.diagcolumn;
        return P.diagwidth;
    }
    const StreamState& s = P.ts.s;
    if (s.pos >= 0 && s.ring[s.pos].code != 0) {
        const Token& t = s.ring[s.pos];
        line = t.line;
        column = t.column & 0x7fff;
        return static_cast<int>(t.length);
    }
    line = srcline(P);
    column = -1;
    return 0;
}

const char* keeptext(Parser& P, const char* text, size_t length) {
    auto block = std::make_unique<char[]>(length + 1);
    if (length) std::memcpy(block.get(), text, length);
    block[length] = '\0';
    const char* p = block.get();
    P.src.kept.push_back(std::move(block));
    return p;
}

void dropkepttexts(Parser& P) { P.src.kept.clear(); }

// The file's declaration list for its debug records: each symbol once, an
// inline function never. A symbol whose link is in use is listed already, or
// is a declaration that was never entered (it links to itself).
void notefilesym(Parser& P, Symbol* s) {
    if (s->filelink || (s->attributes & attr::Inline)) return;
    SourceFile* f = P.src.stack.empty() ? P.src.last : P.src.stack.back().file;
    if (!f) return;
    if (f->lastsym)
        f->lastsym->filelink = s;
    else
        f->syms = s;
    f->lastsym = s;
    s->filelink = s;
}

Symbol* nextfilesym(const Symbol* s) { return s->filelink == s ? nullptr : s->filelink; }

std::string fullpath(const std::string& name) {
    if (!name.empty() && tl::isdirsep(name[0])) return name;
    std::error_code ec;
    std::string cwd = std::filesystem::current_path(ec).string();
    if (ec || cwd.empty()) return name;
    size_t pos = 0;
    for (;;) {
        if (name.compare(pos, 2, "./") == 0 || name.compare(pos, 2, ".\\") == 0) {
            pos += 2;
        } else if (name.compare(pos, 3, "../") == 0 || name.compare(pos, 3, "..\\") == 0) {
            size_t cut = cwd.find_last_of("/\\");
            if (cut == std::string::npos || cwd.size() <= 1) return name;
            cwd.erase(cut == 0 ? 1 : cut);
            pos += 3;
        } else {
            break;
        }
    }
    return platform::joinpath(cwd, name.substr(pos));
}

}  // namespace cpppc
