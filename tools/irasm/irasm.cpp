// irasm: turns the text form of an intermediate file into the file itself,
// so that the code generator can be tested on files written by hand, and
// so that the dumper's output can be assembled again byte for byte.
//
// The text form, one record per line ('#' starts a comment; a leading
// "hex-offset:" is ignored, so dumped text reads back):
//
//   header 0xCB 0x0C FLAGS 0xFF 0x12 "cpppc" "V4.10.10" "24 Aug 2012" "option"...
//       the five header bytes, then the header strings (the closing zero
//       byte is implied); an analyser file has just the two bytes 0xCA 0x13
//   CODE FIELD...
//       the record code in decimal, then its fields in file order:
//
//   numbers   decimal or 0x hex; signed fields (values, offsets) may be
//             negative; a field takes exactly its size
//   texts     "..." with \" \\ \n \t \0 and \xNN escapes; counted texts
//             hold at most 255 bytes (the 254 record 65535)
//   doubles   a decimal number, or 0x and the 16 hex digits of its bits
//   names     [NUMBER] (count 0: only a label or function number) or
//             [NUMBER KIND "name"] (count = length + 1, at most 254 bytes)
//   types     NAME[/ATTR][>PTRATTR][:POS:WIDTH][=SIZE][+BITS], NAME one of
//             char uchar short sbits ushort int ibits uint float double ptr
//             real cbits struct (type codes 1 to 14) or tN; /ATTR sets bit 7
//             and gives the attribute word; >PTRATTR is required for ptr,
//             :POS:WIDTH for the bit-fields, =SIZE for struct; +BITS are
//             stray bits 4-6 of the code byte
//   trees     prefix order, one node per parenthesis:
//               (leaf TYPE NAME VALUE STORAGE FLAG)
//               (OP TYPE LEFT)             operator codes below 128
//               (OP TYPE LEFT RIGHT)       codes from 128
//               (?: TYPE COND TRUE FALSE)
//               (asm TYPE LEFT "text\0") and (asmargs TYPE LEFT "text\0" RIGHT)
//             OP is a name: + - * / % << >> & ^ | < >= > <= == != += -= *=
//             /= %= <<= >>= &= ^= |= && || = , ?: post++ post-- neg ind addr
//             ! ~ cast call callargs arg asm asmargs negself complself; or
//             any operator code as a number
//
// The records and their fields (the layout table of toollib/ir):
//   19 NAME            source file         20 LINE          source line
//   204 ATTR "section" #pragma section     203 "text"       assembly text
//   186 NAME           memory space        132/144/134 NAME ATTR SIZE
//   131 ALIGN NAME     data object         199/184 ALIGN ATTR NAME
//   201 0 NAME ADDRESS absolute symbol     137 SIZE VALUE   value
//   133 SIZE DOUBLE    floating value      148 "bytes"      string piece
//   147 COUNT          zero bytes          192/197/200 NAME OFFSET address
//   210                end of object       187 "text"       debug string
//   213/214/215 0 NAME debug label, function, file
//   251 LINE LINE      function lines      254 "text"       raw assembly
//   217 TYPE OFFSET REG register parameter 218 SIZE         parameter area
//   129 OFFSET         lowest frame offset 145 IMASK FMASK CALLS
//   140/130 LABEL LINE [MARK]  label; the mark only when LINE is not 0
//   139 LABEL          jump                141 135 136 142 138 143 LABEL TREE TREE
//   150 TREE           expression          146              return
//   190/149/189 LABEL  switch              185 0 DISPATCH DEFAULT CASES SIZE
//   205 SPAN FIRST LABEL...  jump table    207 FIRST COUNT LABEL   case range
//   206 N VALUE LABEL...     single cases  151              end of tables
//   188 LINE COL LINE COL source range     194 LABEL 1 TREE / 194 LABEL 0
//   211                end of function     208 209 0        no fields
//
// Example, the assignment of 1 to the global int g:
//   150 (= int (leaf int [0 0x81 "g"] 0 0 1) (leaf int [0] 1 0 0))
#include "tools/irasm/irasm.h"

#include <cstdio>
#include <string>

#include "platform/files.h"
#include "toollib/ir/ir.h"
#include "toollib/options.h"
#include "toollib/quit.h"

namespace irasm {

int run(int argc, char** argv) {
    const char* output = nullptr;
    std::vector<tl::OptionSpec> specs = {{"o*  output file name", &output}};
    tl::parseopts(argc, argv, "Intermediate File Assembler", "file", specs);
    if (argc < 1) {
        tl::puterr("irasm: missing input file\n");
        return 1;
    }
    std::string input = argv[0];
    std::string outname = output ? output : input + ".ir";
    std::optional<std::string> text = platform::readfile(platform::hostpath(input));
    if (!text) {
        tl::puterr("irasm: can't open " + input + "\n");
        return 1;
    }
    std::string bytes;
    try {
        bytes = ir::encodefile(ir::parsetext(*text));
    } catch (const ir::TextError& e) {
        tl::puterr(input + ":" + std::to_string(e.line) + ": " + e.message + "\n");
        return 1;
    }
    std::FILE* fp = std::fopen(platform::hostpath(outname).c_str(), "wb");
    if (!fp) {
        tl::puterr("irasm: can't create " + outname + "\n");
        return 1;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), fp) == bytes.size();
    ok = std::fclose(fp) == 0 && ok;
    if (!ok) {
        std::remove(outname.c_str());
        tl::puterr("irasm: can't write " + outname + "\n");
        return 1;
    }
    return 0;
}

}  // namespace irasm
