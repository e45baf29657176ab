// The object-file dumper. It reads the image with checked accessors only, so
// a damaged file gives a problem line instead of a crash, and it re-walks
// each relocation stream the way a loader would.
#include "tools/objdump/objdump.h"

#include <cstdarg>
#include <cstdio>
#include <optional>
#include <sys/stat.h>

#include "platform/files.h"
#include "toollib/options.h"
#include "toollib/quit.h"

namespace objdump {

namespace {

struct Reader {
    const std::vector<uint8_t>& img;
    bool ok(size_t at, size_t n) const { return at <= img.size() && n <= img.size() - at; }
    uint32_t u32(size_t at) const {
        return static_cast<uint32_t>(img[at]) << 24 | static_cast<uint32_t>(img[at + 1]) << 16 |
               static_cast<uint32_t>(img[at + 2]) << 8 | img[at + 3];
    }
};

std::string fmt(const char* f, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, f);
    std::vsnprintf(buf, sizeof buf, f, ap);
    va_end(ap);
    return buf;
}

std::string text(const std::vector<uint8_t>& img, size_t at, size_t n) {
    std::string s;
    for (size_t i = 0; i < n; i++) {
        unsigned char c = img[at + i];
        if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') s.push_back(static_cast<char>(c));
        else s += fmt("\\x%02x", c);
    }
    return s;
}

unsigned fieldsize(unsigned code) {
    switch (code & 15) {
    case 0: case 4: case 6: case 10: return 1;
    case 1: case 7: case 11: return 2;
    case 12: case 15: return 4;
    default: return 0;
    }
}

unsigned extrabytes(unsigned code) {
    switch (code & 15) {
    case 4: case 6: case 8: case 10: return 3;
    case 5: case 7: case 9: case 11: return 2;
    default: return 0;
    }
}

}  // namespace

DumpResult dump(const std::vector<uint8_t>& img) {
    DumpResult r;
    Reader rd{img};
    auto problem = [&](const std::string& p) { r.problems.push_back(p); };
    if (!rd.ok(0, 28)) {
        problem("file shorter than its header");
        return r;
    }
    // anything else is no object file: there is nothing to show
    if (img[0] != 0xCC && img[0] != 0xCD) {
        problem("bad magic byte");
        return r;
    }
    unsigned nsect = img[3];
    uint32_t nsym = rd.u32(4), symoff = rd.u32(8), symsize = rd.u32(12);
    uint32_t ndbg = rd.u32(16), dbgoff = rd.u32(20), dbgsize = rd.u32(24);
    r.text += fmt("header: magic %02x family %u variant %u sections %u\n", img[0], img[1], img[2], nsect);
    r.text += fmt("symbols: count %u offset %u size %u\n", nsym, symoff, symsize);
    r.text += fmt("debug: count %u offset %u size %u\n", ndbg, dbgoff, dbgsize);
    // symbol names first, so that relocation records can name them
    std::vector<std::string> symnames;
    {
        size_t at = symoff;
        for (uint32_t k = 0; k < nsym; k++) {
            if (!rd.ok(at, 7) || !rd.ok(at + 7, img[at + 6])) break;
            symnames.push_back(text(img, at + 7, img[at + 6]));
            at += 7 + img[at + 6];
        }
    }
    for (unsigned k = 0; k < nsect; k++) {
        size_t rec = 28 + 40 * static_cast<size_t>(k);
        if (!rd.ok(rec, 40)) {
            problem(fmt("section record %u outside the file", k + 1));
            break;
        }
        unsigned attr = img[rec];
        unsigned namelen = img[rec + 1] > 14 ? 14 : img[rec + 1];
        uint32_t doff = rd.u32(rec + 16), dsize = rd.u32(rec + 20), roff = rd.u32(rec + 24),
                 rsize = rd.u32(rec + 28), origin = rd.u32(rec + 32);
        r.text += fmt("section %u %s attr %02x data %u+%u reloc %u+%u origin %08x\n", k + 1,
                      text(img, rec + 2, namelen).c_str(), attr, doff, dsize, roff, rsize, origin);
        if (rd.u32(rec + 36) != origin) problem(fmt("section %u: the two origins differ", k + 1));
        if (attr & 0x01) continue;  // bss: no bytes in the file
        if (!rd.ok(doff, dsize) || !rd.ok(roff, rsize)) {
            problem(fmt("section %u: data or relocations outside the file", k + 1));
            continue;
        }
        for (uint32_t i = 0; i < dsize; i += 16) {
            r.text += fmt("  %04x:", i);
            for (uint32_t j = i; j < i + 16 && j < dsize; j++) r.text += fmt(" %02x", img[doff + j]);
            r.text += "\n";
        }
        uint32_t pos = 0;
        size_t at = roff, end = roff + rsize;
        while (at < end) {
            uint8_t b = img[at];
            if (b == 0) {
                r.text += fmt("  reloc %04x: empty record\n", pos);
                at++;
                continue;
            }
            if (b < 0x40) {
                r.text += fmt("  skip %u\n", b);
                pos += b;
                at++;
            } else if (b < 0x80) {
                if (at + 1 >= end) {
                    problem(fmt("section %u: long skip cut off", k + 1));
                    break;
                }
                uint32_t n = (b & 0x3Fu) * 256 + img[at + 1];
                r.text += fmt("  skip %u\n", n);
                pos += n;
                at += 2;
            } else {
                unsigned code = b & 0x1F;
                bool two = b & 0x20;
                size_t need = 1 + (two ? 2 : 1);
                if (at + need > end) {
                    problem(fmt("section %u: relocation record cut off", k + 1));
                    break;
                }
                unsigned ref = two ? img[at + 1] * 256u + img[at + 2] : img[at + 1];
                at += need;
                std::string what;
                if (ref >= 1 && ref <= nsect) what = fmt("section %u", ref);
                else if (ref > nsect && ref - nsect <= symnames.size()) what = "symbol " + symnames[ref - nsect - 1];
                else {
                    what = fmt("reference %u", ref);
                    problem(fmt("section %u: reference %u names nothing", k + 1, ref));
                }
                std::string extra;
                if ((code & 15) == 15) {
                    if (at >= end) {
                        problem(fmt("section %u: descriptor cut off", k + 1));
                        break;
                    }
                    unsigned desc = img[at++];
                    extra = fmt(" descriptor %02x", desc);
                    if (desc) {
                        if (at + 4 > end) {
                            problem(fmt("section %u: value cut off", k + 1));
                            break;
                        }
                        extra += fmt(" value %08x", rd.u32(at));
                        at += 4;
                    }
                } else if (unsigned n = extrabytes(code)) {
                    if (at + n > end) {
                        problem(fmt("section %u: extra bytes cut off", k + 1));
                        break;
                    }
                    extra = " high";
                    for (unsigned i = 0; i < n; i++) extra += fmt(" %02x", img[at + i]);
                    at += n;
                }
                unsigned size = fieldsize(code);
                r.text += fmt("  reloc %04x: code %u%s %s size %u%s\n", pos, code & 15, (code & 0x10) ? " relative" : "",
                              what.c_str(), size, extra.c_str());
                if (size == 0) problem(fmt("section %u: unknown relocation code %u", k + 1, code));
                pos += size;
            }
            if (pos > dsize) {
                problem(fmt("section %u: relocation stream passes the section size (%u > %u)", k + 1, pos, dsize));
                break;
            }
        }
    }
    size_t at = symoff;
    if (!rd.ok(symoff, symsize)) problem("symbol records outside the file");
    for (uint32_t k = 0; k < nsym && rd.ok(symoff, symsize); k++) {
        if (!rd.ok(at, 7) || !rd.ok(at + 7, img[at + 6]) || at + 7 + img[at + 6] > symoff + symsize) {
            problem(fmt("symbol record %u outside its table", k + 1));
            break;
        }
        r.text += fmt("symbol %u value %08x flags %02x section %u %s\n", nsect + k + 1, rd.u32(at), img[at + 4],
                      img[at + 5], text(img, at + 7, img[at + 6]).c_str());
        if (img[at + 5] > nsect) problem(fmt("symbol %u: section %u does not exist", nsect + k + 1, img[at + 5]));
        at += 7 + img[at + 6];
    }
    if (rd.ok(symoff, symsize) && at != symoff + symsize && nsym) problem("symbol table size does not match its records");
    at = dbgoff;
    if (!rd.ok(dbgoff, dbgsize)) problem("debug records outside the file");
    for (uint32_t k = 0; k < ndbg && rd.ok(dbgoff, dbgsize); k++) {
        if (!rd.ok(at, 7) || !rd.ok(at + 7, img[at + 6]) || at + 7 + img[at + 6] > dbgoff + dbgsize) {
            problem(fmt("debug record %u outside its table", k));
            break;
        }
        r.text += fmt("debug %u address %08x kind %u section %u \"%s\"\n", k, rd.u32(at), img[at + 4], img[at + 5],
                      text(img, at + 7, img[at + 6]).c_str());
        at += 7 + img[at + 6];
    }
    if (rd.ok(dbgoff, dbgsize) && at != dbgoff + dbgsize && ndbg) problem("debug table size does not match its records");
    return r;
}

namespace {

// The file's bytes, as many as its length says: a device or a pipe has no
// length and gives nothing, however much it could deliver.
std::optional<std::vector<uint8_t>> readimage(const std::string& path) {
    std::FILE* fp = std::fopen(platform::hostpath(path).c_str(), "rb");
    if (!fp) return std::nullopt;
    struct stat st;
    std::vector<uint8_t> img;
    bool ok = ::fstat(::fileno(fp), &st) == 0 && !S_ISDIR(st.st_mode);
    if (ok && S_ISREG(st.st_mode) && st.st_size > 0) {
        img.resize(static_cast<size_t>(st.st_size));
        img.resize(std::fread(img.data(), 1, img.size(), fp));
        ok = !std::ferror(fp);
    }
    std::fclose(fp);
    if (!ok) return std::nullopt;
    return img;
}

}  // namespace

int run(int argc, char** argv) {
    tl::setversion("V1.0", "");
    tl::parseopts(argc, argv, "Object Dumper", "files", {});
    int status = 0;
    for (int i = 0; i < argc; i++) {
        std::optional<std::vector<uint8_t>> img = readimage(argv[i]);
        if (!img) {
            tl::puterr(std::string("qvobjdump: can't open ") + argv[i] + "\n");
            status = 1;
            continue;
        }
        DumpResult r = dump(*img);
        if (!r.text.empty()) tl::putout((argc > 1 ? std::string(argv[i]) + ":\n" : std::string()) + r.text);
        for (const std::string& p : r.problems) tl::puterr(std::string("qvobjdump: ") + argv[i] + ": " + p + "\n");
        if (!r.problems.empty()) status = 1;
    }
    return status;
}

}  // namespace objdump
