// irdump --debug: the debug data of an intermediate file laid out as the
// target holds it, and its entries listed by following address cells from
// each file entry, as the debugger's reader does. The image is built from
// the content records that follow 213, 214 and 215 records (an ordinary
// object's start record ends the debug data until the next one); every
// address cell is kept as a relocation naming a label, a symbol or a plain
// number. Every read is bounds-checked and every walk remembers where it
// has been, so a damaged file gets a problem line, never a crash or a loop.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

#include "tools/irdump/irdump.h"

namespace irdump {

namespace {

using namespace ir;

struct Cell {
    enum Kind { Number, Label, Symbol } kind = Number;
    uint32_t value = 0;   // the number, the label, or the symbol's offset
    std::string name;     // Symbol
};

constexpr size_t kMaxImage = 64u << 20;
constexpr int kMaxWalk = 100000;

class Image {
public:
    std::string bytes;
    std::map<uint32_t, size_t> labels;
    std::map<size_t, Cell> relocs;
    std::vector<uint32_t> files;  // the label of each file entry
    std::vector<Problem>& problems;

    explicit Image(std::vector<Problem>& p) : problems(p) {}

    void build(const File& f) {
        bool indebug = false;
        bool wantfile = false;
        for (const Record& r : f.records) {
            const auto& v = r.fields;
            switch (r.code) {
            case R_DLABEL:
                indebug = true;
                if (!labels.emplace(v[1].name.number, bytes.size()).second)
                    problems.push_back({r.offset, "debug label placed twice"});
                if (wantfile) files.push_back(v[1].name.number);
                wantfile = false;
                break;
            case R_DFILE: indebug = true; wantfile = true; break;
            case R_DFUNC: indebug = true; break;
            case R_DATA: case R_DATAATTR: case R_LITERAL: case R_ABSOLUTE: case R_ENDDATA: indebug = false; break;
            case R_VALUE:
                if (!indebug) break;
                if (v[0].num != 1 && v[0].num != 2 && v[0].num != 4) {
                    problems.push_back({r.offset, "bad value size " + std::to_string(v[0].num)});
                    return;
                }
                putbe(static_cast<uint32_t>(v[1].num), static_cast<int>(v[0].num));
                break;
            case R_DOUBLE:
                if (indebug) {
                    uint64_t bits = v[1].num;
                    if (v[0].num == 4) {
                        double d;
                        std::memcpy(&d, &bits, sizeof d);
                        float fl = static_cast<float>(d);
                        uint32_t fb;
                        std::memcpy(&fb, &fl, sizeof fb);
                        putbe(fb, 4);
                    } else {
                        for (int i = 7; i >= 0; --i) bytes.push_back(static_cast<char>(bits >> (8 * i)));
                    }
                }
                break;
            case R_BYTES:
                if (indebug) {
                    bytes += v[0].text;
                    if (v[0].text.size() < 255) bytes.push_back('\0');
                }
                break;
            case R_ZEROS:
                if (!indebug) break;
                if (v[0].num > kMaxImage || bytes.size() + v[0].num > kMaxImage) {
                    problems.push_back({r.offset, "debug data too large"});
                    return;
                }
                bytes.append(v[0].num, '\0');
                break;
            case R_ADDR8: case R_ADDR16: case R_ADDR32: {
                if (!indebug) break;
                int size = r.code == R_ADDR8 ? 1 : r.code == R_ADDR16 ? 2 : 4;
                Cell c;
                const NameBlock& n = v[0].name;
                if (n.present) {
                    c.kind = Cell::Symbol;
                    c.name = n.name;
                    c.value = static_cast<uint32_t>(v[1].num);
                } else if (n.number) {
                    c.kind = Cell::Label;
                    c.value = n.number;
                } else {
                    c.value = static_cast<uint32_t>(v[1].num);
                }
                relocs[bytes.size()] = c;
                putbe(c.kind == Cell::Number ? c.value : 0, size);
                break;
            }
            default: break;
            }
            if (bytes.size() > kMaxImage) {
                problems.push_back({r.offset, "debug data too large"});
                return;
            }
        }
    }

    bool fits(size_t at, size_t n) const { return at <= bytes.size() && n <= bytes.size() - at; }

    uint32_t be(size_t at) const {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
        return v;
    }
    uint32_t le(size_t at) const {
        uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
        return v;
    }

    void putbe(uint32_t v, int size) {
        for (int i = size - 1; i >= 0; --i) bytes.push_back(static_cast<char>(v >> (8 * i)));
    }
};

class Lister {
public:
    Lister(Image& im, std::vector<Problem>& p) : img(im), problems(p) {}

    std::string run() {
        for (uint32_t a : img.files) file(a);
        return out;
    }

private:
    Image& img;
    std::vector<Problem>& problems;
    std::string out;
    size_t where = 0;  // the image offset being read, for problem lines

    bool bad(const std::string& m) {
        problems.push_back({where, "debug data at " + std::to_string(where) + ": " + m});
        return false;
    }

    // The cell at an image offset.
    bool cell(size_t at, Cell& c) {
        where = at;
        if (!img.fits(at, 4)) return bad("cell beyond the debug data");
        auto it = img.relocs.find(at);
        if (it != img.relocs.end()) {
            c = it->second;
        } else {
            c = Cell{};
            c.value = img.be(at);
        }
        return true;
    }
    // The image offset an address cell points to; false for null or bad.
    bool follow(size_t at, size_t& to, bool& null) {
        Cell c;
        null = false;
        if (!cell(at, c)) return false;
        if (c.kind == Cell::Number && c.value == 0) {
            null = true;
            return true;
        }
        if (c.kind != Cell::Label) return bad("address cell does not name a debug label");
        auto it = img.labels.find(c.value);
        if (it == img.labels.end()) return bad("label " + std::to_string(c.value) + " not placed");
        to = it->second;
        return true;
    }
    bool string(size_t at, std::string& s, size_t& end) {
        where = at;
        size_t z = at < img.bytes.size() ? img.bytes.find('\0', at) : std::string::npos;
        if (z == std::string::npos) return bad("string runs past the debug data");
        s = img.bytes.substr(at, z - at);
        end = z + 1;
        return true;
    }
    bool namerecord(size_t at, std::string& name, int& tag) {
        size_t end;
        if (!string(at, name, end)) return false;
        if (!img.fits(end, 1)) return bad("name record without its tag byte");
        tag = static_cast<unsigned char>(img.bytes[end]);
        return true;
    }
    std::string location(const Cell& c) {
        char buf[32];
        switch (c.kind) {
        case Cell::Label: std::snprintf(buf, sizeof buf, "L%u", c.value); return buf;
        case Cell::Symbol: return c.name + "+" + std::to_string(c.value);
        default: return std::to_string(c.value);
        }
    }
    std::string word(uint32_t w) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "0x%08x", w);
        return buf;
    }

    // A list of value records from at up to its null address.
    void symbols(size_t at, const char* indent) {
        for (int n = 0; n < kMaxWalk; ++n, at += 16) {
            size_t g;
            bool null;
            if (!follow(at, g, null) || null) return;
            std::string name;
            int tag;
            if (!namerecord(g, name, tag)) return;
            Cell loc;
            if (!cell(at + 4, loc) || !img.fits(at + 8, 8)) {
                bad("value record cut short");
                return;
            }
            out += std::string(indent) + "symbol " + name + " storage " + std::to_string(tag) + " location " +
                   location(loc) + " type " + word(img.le(at + 8)) + "\n";
        }
        bad("symbol list without end");
    }

    void file(uint32_t a) {
        auto it = img.labels.find(a);
        if (it == img.labels.end()) return;
        size_t entry = it->second, n, link;
        bool null;
        std::string name;
        int tag;
        if (!follow(entry, n, null) || null || !namerecord(n, name, tag)) return;
        out += "file " + name + "\n";
        if (tag != 140) bad("file name record tag " + std::to_string(tag));
        if (!follow(entry + 4, link, null) || null) return;
        std::set<size_t> seen;
        while (seen.insert(link).second) {
            where = link;
            if (!img.fits(link, 36)) {
                bad("link entry cut short");
                return;
            }
            size_t next, d;
            bool last, noname;
            if (!follow(link, next, last) || !follow(link + 8, d, noname)) return;
            if (noname) {
                out += "  end lines " + std::to_string(img.be(link + 12)) + "-" + std::to_string(img.be(link + 16)) + "\n";
                size_t f;
                bool nof;
                if (follow(link + 28, f, nof) && !nof) symbols(f, "    ");
                return;
            }
            std::string fname;
            int storage;
            if (!namerecord(d, fname, storage)) return;
            out += "  function " + fname + " storage " + std::to_string(storage) + " lines " +
                   std::to_string(img.be(link + 12)) + "-" + std::to_string(img.be(link + 16)) + " type " +
                   word(img.le(link + 20)) + "\n";
            size_t s;
            bool nos;
            if (follow(link + 28, s, nos) && !nos) symbols(s, "    ");
            if (last) return;
            link = next;
        }
        bad("link entries form a loop");
    }
};

}  // namespace

std::string debuglisting(const File& f, std::vector<Problem>& problems) {
    Image img(problems);
    img.build(f);
    std::vector<std::pair<size_t, uint32_t>> placed;
    for (const auto& [label, at] : img.labels) placed.emplace_back(at, label);
    std::sort(placed.begin(), placed.end());
    std::string out = "debug data " + std::to_string(img.bytes.size()) + " bytes\n";
    for (const auto& [at, label] : placed) out += "  " + std::to_string(label) + " at " + std::to_string(at) + "\n";
    Lister l(img, problems);
    return out + l.run();
}

}  // namespace irdump
