// Where lines come from: sources, include files and expansions.
//
// The reader stack holds files and macro/repeat expansions; nextline takes
// the next line from the top and pops finished readers. Each file opening of
// the collecting pass gets a file record; later passes open the same files
// in the same order and find their records again, so line counts and the
// dependency list stay per opening.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "assembler/asm.h"
#include "platform/files.h"
#include "platform/interrupt.h"
#include "toollib/quit.h"

namespace as {

namespace {

constexpr size_t kMaxIncludeDepth = 16;
constexpr size_t kMaxOpenings = 1000;      // file openings per pass
constexpr long kMaxPassLines = 1000000;    // lines per pass, expansions included

constexpr size_t kMaxLine = 16u << 20;      // bytes in one line

enum class Read { Ok, Missing, TooLong, TooBig };

// Lines are found by 32-bit offsets into their file's text.
constexpr size_t kMaxText = 0xFFFFFFFFu;

// A source file's text. A line longer than kMaxLine ends the reading, so a
// device that never ends a line (or never ends) is refused, not swallowed.
Read readsource(const std::string& name, tl::ByteBuffer& text) {
    text.clear();
    if (platform::pathkind(name) == platform::PathKind::Directory) return Read::Missing;
    std::FILE* fp = std::fopen(platform::hostpath(name).c_str(), "rb");
    if (!fp) return Read::Missing;
    Read result = Read::Ok;
    size_t chunk = 65536;
    if (std::fseek(fp, 0, SEEK_END) == 0) {
        long size = std::ftell(fp);
        // a regular file is read in one piece straight into the text
        if (size > 0 && size < (256L << 20)) chunk = static_cast<size_t>(size) + 1;
        std::rewind(fp);
    }
    size_t linelen = 0;  // bytes since the last line end
    size_t len = 0, n;
    do {
        // grow only when full: a file read in one piece is not copied again
        if (text.capacity() == len) text.reserve(std::max(len + chunk, 2 * len));
        n = std::fread(text.data() + len, 1, text.capacity() - len, fp);
        for (const char *p = text.data() + len, *end = p + n; p < end;) {
            const char* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
            linelen += static_cast<size_t>((nl ? nl : end) - p);
            if (linelen > kMaxLine) {
                result = Read::TooLong;
                break;
            }
            if (nl) linelen = 0;
            p = nl ? nl + 1 : end;
        }
        len += n;
        text.setsize(len);
        if (len > kMaxText) result = Read::TooBig;
        chunk = 65536;
    } while (result == Read::Ok && n > 0);
    if (result == Read::Ok && std::ferror(fp)) result = Read::Missing;
    std::fclose(fp);
    if (result != Read::Ok) text.clear();
    return result;
}

void splitlines(std::string_view text, tl::LargeVector<LineMemo>& lines) {
    lines.reserve(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        lines.emplace_back().start = static_cast<uint32_t>(start);
        if (nl == std::string::npos) break;
        start = nl + 1;
    }
}

void depname(Assembler& a, const std::string& name) {
    int len = static_cast<int>(name.size());
    a.depcolumn += len + 1;
    if (a.depcolumn > 78) {
        putstdout(a, " \\\n");
        a.depcolumn = len + 1;
    }
    if (name.find(' ') != std::string::npos) {
        a.depcolumn += 2;
        putstdout(a, " \"" + name + "\"");
    } else {
        putstdout(a, " " + name);
    }
}

}  // namespace

void popreader(Assembler& a) {
    Reader& r = a.readers.back();
    if (r.kind == 'M' && r.exp) {
        if (r.exp->restoremlist) a.mlist = r.exp->savedmlist;
        a.expdepth--;
    }
    a.readers.pop_back();
}

void resetreaders(Assembler& a) {
    a.readers.clear();
    a.openings = 0;
    a.filecursor = 0;
    a.expdepth = 0;
}

bool opensrc(Assembler& a, const std::string& name) {
    size_t depth = 0;
    for (const Reader& r : a.readers) depth += r.kind == 'F';
    if (depth >= kMaxIncludeDepth) {
        reporterr(a, "include files nested too deeply: " + name, true);
        return false;
    }
    if (a.openings++ >= kMaxOpenings) {
        reporterr(a, "too many include files: " + name, true);
        return false;
    }
    std::string opened = name;
    std::shared_ptr<const SourceText> text;
    // a file is read once per source; later openings and passes share it
    auto load = [&](const std::string& path, std::shared_ptr<const SourceText>& out) {
        auto it = a.sources.find(path);
        if (it == a.sources.end()) {
            auto t = std::make_shared<SourceText>();
            Read got = readsource(path, t->bytes);
            t->status = static_cast<int>(got);
            it = a.sources.emplace(path, std::move(t)).first;
        }
        out = it->second;
        return static_cast<Read>(out->status);
    };
    Read got = load(name, text);
    if (got == Read::Missing && !name.empty() && name[0] != '\\' && name[0] != '/') {
        for (const std::string& dir : a.opt.incdirs) {
            if (dir.size() + name.size() + 1 > 510) {
                reporterr(a, "path too long: " + dir.substr(0, 40) + "...");
                continue;
            }
            std::string path = platform::joinpath(dir, name);
            got = load(path, text);
            if (got != Read::Missing) {
                opened = path;
                break;
            }
        }
    }
    if (got != Read::Ok) {
        a.openfailure = got == Read::TooLong ? "line too long"
                        : got == Read::TooBig ? "file too large: " + name
                                              : "can't open " + name;
        reporterr(a, a.openfailure, a.opt.md != 0);
        return false;
    }
    FileRecord* rec = nullptr;
    if (a.pass == 0) {
        bool known = false;
        for (auto& f : a.files) known |= f->name == opened;
        if (a.opt.md && !known) depname(a, opened);
        a.files.push_back(std::make_unique<FileRecord>());
        rec = a.files.back().get();
        rec->name = opened;
        a.filecursor = a.files.size();
    } else {
        for (size_t i = a.filecursor; i < a.files.size(); i++)
            if (a.files[i]->name == opened) {
                rec = a.files[i].get();
                a.filecursor = i + 1;
                break;
            }
        if (!rec)
            for (auto& f : a.files)
                if (f->name == opened) {
                    rec = f.get();
                    break;
                }
        if (!rec) {
            a.files.push_back(std::make_unique<FileRecord>());
            rec = a.files.back().get();
            rec->name = opened;
        }
    }
    rec->lines = 0;
    Reader r;
    r.kind = 'F';
    r.file = rec;
    auto& memo = a.memos[text.get()];
    if (!memo) {
        memo = std::make_unique<TextMemo>();
        splitlines(text->text(), memo->lines);
        // most lines keep no tokens (constant operands keep their encoding)
        memo->tokens.reserve(memo->lines.size());
    }
    r.memo = memo.get();
    r.text = std::move(text);
    a.readers.push_back(std::move(r));
    return true;
}

void pushexpansion(Assembler& a, std::unique_ptr<Expansion> e) {
    Reader r;
    r.kind = 'M';
    for (auto it = a.readers.rbegin(); it != a.readers.rend(); ++it)
        if (it->kind == 'F') {
            r.file = it->file;
            break;
        }
    r.exp = std::move(e);
    a.expdepth++;
    a.readers.push_back(std::move(r));
}

bool nextline(Assembler& a, std::string& out) {
    if (platform::interrupted()) tl::quit(2);
    if (a.globline >= kMaxPassLines) {
        // a runaway expansion or include tree: stop the pass with one error
        if (!a.readers.empty()) {
            reporterr(a, "too many lines in one pass", true);
            printerr(a);
            a.readers.clear();
            a.expdepth = 0;
        }
        return false;
    }
    while (!a.readers.empty()) {
        Reader& r = a.readers.back();
        if (r.kind == 'M') {
            if (expandline(a, *r.exp, out)) {
                a.linememo = nullptr;
                a.globline++;
                a.fromexpansion = true;
                return true;
            }
        } else if (!r.ended && r.nextline < r.memo->lines.size()) {
            size_t k = r.nextline++;
            LineMemo& m = r.memo->lines[k];
            a.linememo = &m;
            a.tokmemo = r.memo;
            const char* text = r.text->bytes.data();
            size_t end = k + 1 < r.memo->lines.size() ? r.memo->lines[k + 1].start - 1 : r.text->bytes.size();
            if (end > m.start && text[end - 1] == '\n') end--;  // the last line's
            if (end > m.start && text[end - 1] == '\r') end--;
            out.assign(text + m.start, end - m.start);
            r.file->lines++;
            a.globline++;
            a.fromexpansion = false;
            a.skipoverride = false;
            return true;
        }
        popreader(a);
    }
    return false;
}

long curline(const Assembler& a) {
    for (auto it = a.readers.rbegin(); it != a.readers.rend(); ++it)
        if (it->kind == 'F') return it->file->lines;
    return 0;
}

const std::string* curfilekept(Assembler& a) {
    for (auto it = a.readers.rbegin(); it != a.readers.rend(); ++it)
        if (it->kind == 'F') {
            FileRecord& f = *it->file;
            if (!f.kept) f.kept = &*a.filenames.insert(f.name).first;
            return f.kept;
        }
    return &*a.filenames.insert("command_line").first;
}

std::string curfile(const Assembler& a) {
    for (auto it = a.readers.rbegin(); it != a.readers.rend(); ++it)
        if (it->kind == 'F') return it->file->name;
    return "command_line";
}

}  // namespace as
