// S-record and Intel hex texts (mixed line by line in one file) and raw
// binary images. Text lines are taken whole, of any length, with LF or CR LF
// ends; every record's byte count and checksum is verified, and a damaged
// line fails the load with its line number.
#include <algorithm>
#include <string_view>

#include "vek/core/loader/loader.h"

namespace vek {

namespace {

int hexdigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The bytes written as hex pairs from text[from]; false on an odd count or
// a character that is not a hex digit.
bool hexbytes(std::string_view text, size_t from, std::vector<uint8_t>& out) {
    out.clear();
    if (from > text.size() || (text.size() - from) % 2 != 0) return false;
    for (size_t i = from; i < text.size(); i += 2) {
        int hi = hexdigit(text[i]), lo = hexdigit(text[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out.push_back(uint8_t(hi << 4 | lo));
    }
    return true;
}

uint32_t bigendian(const uint8_t* p, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = v << 8 | p[i];
    return v;
}

enum class Step { Go, End, Bad };

struct TextImage {
    LoadEnv& env;
    uint32_t extended = 0;   // Intel hex segment or linear base
    std::vector<uint8_t> b;
    std::string why;

    void end(char first, uint32_t address) {
        env.syms.defsym(".text", address);
        env.report.print("T: " + hexnum(address) + "\n");
        env.prog.loadstate = uint8_t(first);
    }

    // S<t><count><address><data><checksum>: the count covers address, data
    // and checksum; all bytes from the count on sum to 0xFF.
    Step srecord(std::string_view line) {
        char t = line.size() > 1 ? line[1] : 0;
        if (t < '0' || t > '9') return why = "unknown record type", Step::Bad;
        if (t == '0' || t == '4' || t == '5' || t == '6') return Step::Go;
        if (!hexbytes(line, 2, b) || b.empty()) return why = "bad hex digits", Step::Bad;
        static const int addrbytes[10] = {2, 2, 3, 4, 0, 0, 0, 4, 3, 2};
        int na = addrbytes[t - '0'];
        if (b[0] + 1u != b.size() || b[0] < na + 1) return why = "bad byte count", Step::Bad;
        uint8_t sum = 0;
        for (uint8_t x : b) sum = uint8_t(sum + x);
        if (sum != 0xFF) return why = "bad checksum", Step::Bad;
        uint32_t address = bigendian(&b[1], na);
        if (t >= '7') {
            end('S', address);
            return Step::End;
        }
        for (size_t i = 1 + size_t(na); i + 1 < b.size(); ++i) env.target.putbyte(address++, b[i]);
        return Step::Go;
    }

    // :<count><address><type><data><checksum>, all bytes summing to 0.
    Step hexrecord(std::string_view line) {
        if (!hexbytes(line, 1, b) || b.size() < 5) return why = "bad hex digits", Step::Bad;
        if (b[0] + 5u != b.size()) return why = "bad byte count", Step::Bad;
        uint8_t sum = 0;
        for (uint8_t x : b) sum = uint8_t(sum + x);
        if (sum != 0) return why = "bad checksum", Step::Bad;
        uint32_t address = bigendian(&b[1], 2);
        const uint8_t* data = &b[4];
        switch (b[3]) {
        case 0x00:
            for (uint32_t i = 0; i < b[0]; ++i) env.target.putbyte(extended + address + i, data[i]);
            return Step::Go;
        case 0x01:
            end(':', address);
            return Step::End;
        case 0x02:
            if (b[0] != 2) return why = "bad byte count", Step::Bad;
            extended = bigendian(data, 2) << 4;
            return Step::Go;
        case 0x04:
            if (b[0] != 2) return why = "bad byte count", Step::Bad;
            extended = bigendian(data, 2) << 16;
            return Step::Go;
        case 0x03:
        case 0x05:
            return Step::Go;   // start addresses: the entry point comes from elsewhere
        default:
            return why = "unknown record type", Step::Bad;
        }
    }
};

}  // namespace

int loadtextimage(LoadEnv& env, const std::vector<uint8_t>& bytes) {
    env.prog.loadstate = loadstate::Reading;
    TextImage img{env, 0, {}, {}};
    std::string_view all(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const uint32_t lines = uint32_t(std::count(all.begin(), all.end(), '\n')) + 1;
    env.report.progresstitle("Memory Records", 0, lines);
    size_t at = 0;
    for (uint32_t lineno = 1; at < all.size(); ++lineno) {
        if (env.report.stopped()) return 0;
        env.report.progressstep(1);
        size_t nl = all.find('\n', at);
        std::string_view line = all.substr(at, nl == std::string_view::npos ? std::string_view::npos : nl - at);
        at = nl == std::string_view::npos ? all.size() : nl + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        Step step = Step::Bad;
        if (line.empty()) {
            img.why = "empty line";
        } else if (line[0] == '$') {
            step = Step::Go;
        } else if (line[0] == 'S') {
            step = img.srecord(line);
        } else if (line[0] == ':') {
            step = img.hexrecord(line);
        } else {
            img.why = "not a record";
        }
        if (step == Step::End) break;
        if (step == Step::Bad) {
            env.report.error(msgstr(msg::ReadError) + "S-record/Hex: line " + std::to_string(lineno) + ": " +
                             img.why);
            return 0;
        }
    }
    return 1;
}

int loadrawimage(LoadEnv& env, const std::vector<uint8_t>& bytes) {
    env.report.error(msgstr(msg::Absolute));
    env.target.loadbytes(0, bytes.data(), bytes.size());
    env.report.print("A: 0x0(" + std::to_string(int32_t(bytes.size())) + ")\n");
    env.syms.defsym(".text", 0);
    env.syms.defsym(".tsize", uint32_t(bytes.size()));
    env.target.setpc(0);
    env.prog.loadstate = loadstate::Raw;
    return 1;
}

}  // namespace vek
