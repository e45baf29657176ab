// The object file: golden bytes of small sources, relocation streams, the
// reference forms, and the failures that must leave no object behind.
#include "asmtest.h"

#include <sys/stat.h>
#include <unistd.h>

using namespace asmtest;

class ObjFile : public AsmTest {};

TEST_F(ObjFile, SixBytesGolden) {
    write("six.s", " dc.b 1,2,3,4,5,6\n");
    Result r = run({"-si", "six.s"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<uint8_t> want = {
        0xCC, 0x03, 0x08, 0x01, 0, 0, 0, 0, 0, 0, 0, 74, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 74, 0, 0, 0, 0,
        0xC6, 5, '.', 't', 'e', 'x', 't', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 68, 0, 0, 0, 6, 0, 0, 0, 74,
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6};
    EXPECT_EQ(hex(readbytes("six.o")), hex(want));
    // without -si the .info. section is a second section
    r = run({"six.s"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto sects = objsections(readbytes("six.o"));
    ASSERT_EQ(sects.size(), 2u);
    EXPECT_EQ(sects[1].name, ".info.");
}

TEST_F(ObjFile, RelocationStreams) {
    struct Case {
        const char* source;
        const char* sect;
        const char* reloc;
    } cases[] = {
        // an external long at offset 8: skip 8, code 12, symbol number 2 (one section)
        {" xref xyz\n switch .data\n dc.l 1,2\n dc.l xyz\n", ".data", "08 8C 02"},
        // a gap of 20000 bytes: two long skips
        {" xref far\n switch .data\n ds.b 20000\n dc.l far\n", ".data", "7F FF 4E 21 8C 02"},
        // a word 10 bytes after the previous field, relative to its own section
        {"l: dc.w l\n ds.b 10\n dc.w l\n", ".text", "81 01 0A 81 01"},
        // byte fields: low, high, page
        {" xref x\n dc.b x,high(x),page(x)\n", ".text", "80 02 84 02 00 00 00 86 02 00 00 00"},
        // a plow() word carries the high half
        {" xref x\n dc.w plow(x+0x12345)\n", ".text", "8B 02 00 01"},
    };
    for (const auto& c : cases) {
        write("t.s", c.source);
        Result r = run({"-si", "t.s"});
        ASSERT_EQ(r.status, 0) << r.err << c.source;
        EXPECT_EQ(hex(sectionbytes(readbytes("t.o"), c.sect, true)), c.reloc) << c.source;
    }
}

TEST_F(ObjFile, TwoByteReferences) {
    std::string src;
    for (int i = 0; i < 300; i++) src += " xref s" + std::to_string(i) + "\n dc.l s" + std::to_string(i) + "\n";
    write("t.s", src);
    Result r = run({"-si", "t.s"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<uint8_t> rel = sectionbytes(readbytes("t.o"), ".text", true);
    // symbols are numbered after the one section; a number above 255 takes two bytes
    size_t twobyte = 0;
    for (size_t i = 0; i < rel.size();) {
        uint8_t b = rel[i];
        if (b >= 0x80) {
            if (b & 0x20) twobyte++;
            i += (b & 0x20) ? 3 : 2;
        } else {
            i += b >= 0x40 ? 2 : 1;
        }
    }
    EXPECT_EQ(twobyte, 300u - 254u);
}

TEST_F(ObjFile, SectionsSymbolsAndPublicLabels) {
    write("t.s", " xdef pub\npub: dc.b 1\npriv: dc.b 2\nt2: section code\n dc.b 3\nempty: section\nlbl: dc.b 0\n"
                 " switch .text\n bsct\n");
    Result r = run({"-si", "-pl", "t.s"});
    EXPECT_NE(r.status, 0);  // .bsct does not exist
    write("t.s", " xdef pub\npub: dc.b 1\npriv: dc.b 2\nt2: section code\n dc.b 3\nt3: section -hilo\n dc.w 0x102\n"
                 "e: section\nonly: \n ds.l 0\n dc.l only\n");
    r = run({"-si", "-pl", "-m", "t.s"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto sects = objsections(readbytes("t.o"));
    ASSERT_EQ(sects.size(), 4u);
    EXPECT_EQ(sects[1].name, "t2");
    EXPECT_EQ(sects[1].attr, 0x86);
    EXPECT_EQ(sects[2].attr, 0x04);
    EXPECT_EQ(sects[3].name, "e");
}

TEST_F(ObjFile, ErrorsLeaveNoObject) {
    write("t.s", " dc.l nowhere\n");
    write("t.o", "old");
    Result r = run({"t.s"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("symbol nowhere not defined"), std::string::npos) << r.err;
    EXPECT_EQ(read("t.o"), "old");
    write("ok.s", " dc.b 1\n");
    r = run({"-o", "missing/t.o", "ok.s"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("can't create missing/t.o"), std::string::npos) << r.err;
    EXPECT_FALSE(exists("missing"));
    write("ro/t.s", " dc.b 1\n");
    ::chmod("ro", 0555);
    if (::access("ro", W_OK) == 0) GTEST_SKIP() << "directory permissions not enforced for this user";
    r = run({"ro/t.s"});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(exists("ro/t.o"));
}

TEST_F(ObjFile, ExternalsWithAllPublic) {
    write("t.s", " dc.l ext\nloc: dc.b 1\n");
    Result r = run({"-si", "-p", "t.s"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<uint8_t> obj = readbytes("t.o");
    EXPECT_EQ(obj[7], 2);  // ext and loc
}

TEST_F(ObjFile, EquatedValueSettles) {
    // len is used before it is computed from labels
    EXPECT_EQ(hex(sectiondata(" dc.w len\nstart: dc.b 1,2,3\nend:\nlen: equ end-start\n dc.w len\n")),
              "00 03 01 02 03 00 03");
}

TEST_F(ObjFile, PhaseErrorWhenLabelsNeverSettle) {
    // each pass moves the label by the value it had in the previous one
    write("t.s", "a: ds.b b-a+1\nb: dc.b 1\n");
    Result r = run({"t.s"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("phase error"), std::string::npos) << r.err;
}

TEST_F(ObjFile, ManyNewSectionsAreGrouped) {
    std::string src;
    for (int i = 0; i < 300; i++) src += "s: section new,-even\n dc.b 1\n";  // no padding
    write("t.s", src);
    Result r = run({"-si", "t.s"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto sects = objsections(readbytes("t.o"));
    EXPECT_LE(sects.size(), 255u);
    uint32_t total = 0;
    for (const auto& s : sects) total += s.name == "s" ? s.datasize : 0;
    EXPECT_EQ(total, 300u);
    src.clear();
    for (int i = 0; i < 300; i++) src += "s" + std::to_string(i) + ": section\n dc.b 1\n";
    write("u.s", src);
    r = run({"-si", "u.s"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("too many sections"), std::string::npos) << r.err;
}

TEST_F(ObjFile, FixedClockReproducesInfoSection) {
    write("t.s", " dc.b 1\n .info \"note\"\n");
    ::setenv("SOURCE_DATE_EPOCH", "1000000000", 1);
    Result r = run({"-x", "t.s"});
    std::vector<uint8_t> first = readbytes("t.o");
    r = run({"-x", "t.s"});
    ::unsetenv("SOURCE_DATE_EPOCH");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(first, readbytes("t.o"));
    std::string obj = read("t.o");
    std::string info = std::string("> t.o:  9 Sep 2001 01:46") + '\0' + "note" + "cappc V4.6.26: -x" + '\0';
    EXPECT_NE(obj.find(info), std::string::npos);
}

TEST_F(ObjFile, NewSectionsKeepTheirOwnData) {
    // the first source section declared with "new" is found again in every
    // pass, whether or not the .info. section exists
    write("t.s", "sw: section new\n dc.b 1\nsw: section new\n dc.b 2,3\n");
    for (const char* info : {"-si", "-pl"}) {
        Result r = run({info, "t.s"});
        ASSERT_EQ(r.status, 0) << r.err;
        std::vector<uint8_t> obj = readbytes("t.o");
        std::vector<std::string> data;
        for (const ObjSection& s : objsections(obj))
            if (s.name == "sw")
                data.push_back(hex(std::vector<uint8_t>(obj.begin() + s.dataoff, obj.begin() + s.dataoff + s.datasize)));
        EXPECT_EQ(data, (std::vector<std::string>{"01 00", "02 03"})) << info;
    }
}
