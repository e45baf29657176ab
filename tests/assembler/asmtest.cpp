#include "asmtest.h"

#include <fstream>
#include <sstream>

#include "assembler/asm.h"
#include "toollib/options.h"
#include "toollib/quit.h"

namespace asmtest {

namespace fs = std::filesystem;

void AsmTest::SetUp() {
    old_ = fs::current_path();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name)
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
    dir_ = fs::temp_directory_path() / ("asmtest_" + std::to_string(::getpid()) + "_" + name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::current_path(dir_);
}

void AsmTest::TearDown() {
    fs::current_path(old_);
    std::error_code ec;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
}

void AsmTest::write(const std::string& name, const std::string& text) {
    fs::path p(name);
    if (p.has_parent_path()) fs::create_directories(p.parent_path());
    std::ofstream(name, std::ios::binary) << text;
}

std::string AsmTest::read(const std::string& name) const {
    std::ifstream in(name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<uint8_t> AsmTest::readbytes(const std::string& name) const {
    std::string s = read(name);
    return std::vector<uint8_t>(s.begin(), s.end());
}

bool AsmTest::exists(const std::string& name) const { return fs::exists(name); }

Result AsmTest::run(const std::vector<std::string>& args) {
    std::vector<std::string> words = {"cappc"};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    tl::resettoolcontext();
    Result r;
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    r.status = tl::runmain([&] { return as::run(static_cast<int>(words.size()), argv.data()); });
    r.err = ::testing::internal::GetCapturedStderr();
    r.out = ::testing::internal::GetCapturedStdout();
    return r;
}

std::vector<uint8_t> AsmTest::sectiondata(const std::string& text, const std::string& sect,
                                          const std::vector<std::string>& extra) {
    write("t.s", sect == "d" ? "d: section -even\n" + text : text);
    std::vector<std::string> args = {"-si"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back("t.s");
    Result r = run(args);
    EXPECT_EQ(r.status, 0) << r.err << "\nsource:\n" << text;
    return sectionbytes(readbytes("t.o"), sect);
}

std::vector<uint8_t> sectionbytes(const std::vector<uint8_t>& obj, const std::string& name, bool reloc) {
    for (const ObjSection& s : objsections(obj)) {
        if (s.name != name) continue;
        uint32_t off = reloc ? s.reloff : s.dataoff, size = reloc ? s.relsize : s.datasize;
        if (off > obj.size() || size > obj.size() - off) return {};
        return std::vector<uint8_t>(obj.begin() + off, obj.begin() + off + size);
    }
    return {};
}

std::string hex(const std::vector<uint8_t>& bytes) {
    std::string s;
    char buf[4];
    for (size_t i = 0; i < bytes.size(); i++) {
        std::snprintf(buf, sizeof buf, "%02X", bytes[i]);
        if (i) s += ' ';
        s += buf;
    }
    return s;
}

std::vector<ObjSection> objsections(const std::vector<uint8_t>& obj) {
    std::vector<ObjSection> out;
    if (obj.size() < 28) return out;
    auto u32 = [&](size_t at) {
        return static_cast<uint32_t>(obj[at]) << 24 | static_cast<uint32_t>(obj[at + 1]) << 16 |
               static_cast<uint32_t>(obj[at + 2]) << 8 | obj[at + 3];
    };
    for (size_t k = 0; k < obj[3]; k++) {
        size_t r = 28 + 40 * k;
        if (r + 40 > obj.size()) break;
        ObjSection s;
        s.attr = obj[r];
        s.name.assign(reinterpret_cast<const char*>(&obj[r + 2]), std::min<size_t>(obj[r + 1], 14));
        s.dataoff = u32(r + 16);
        s.datasize = u32(r + 20);
        s.reloff = u32(r + 24);
        s.relsize = u32(r + 28);
        s.origin = u32(r + 32);
        out.push_back(s);
    }
    return out;
}

}  // namespace asmtest
