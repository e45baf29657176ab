// qvparsedump [--expr TEXT]... [--ctext] [--flags] [cpppc options] file
//
// Runs cpppc's front end on the file with cpppc's options (no -o is needed
// and no intermediate file is written); the parser's diagnostics go to
// standard error as cpppc writes them, and the exit status is cpppc's. Each
// --expr TEXT holds expressions separated by ';', parsed after the file's
// declarations as statements of straight-line code: what one assignment
// stores, the next expression knows (until a call). Diagnostics about them
// give the file's last line and the column in TEXT. Then parsedump prints
// what the parser knows, in these sections, one item per line:
//
//   symbols      each file-level symbol of the ordinary scope, oldest first:
//                  NAME class CLASS flags 0xFFFFFF attributes 0xAAAA value V label L
//                    type TYPE
//   tags         each file-level struct, union and enum tag, oldest first:
//                  struct NAME size S align A
//                    NAME offset O [bits P width W] flags 0xFFFFFF attributes 0xAAAA: TYPE
//                  enum NAME underlying TYPE
//                    NAME = V
//   spaces       the space names, oldest first: NAME 0xBIT [announced]
//   defaults     the default-space tables: "data E0 E1 E2 E3", "code ...",
//                and "const data", "const code" or "const own E0 E1 E2 E3"
//   attributes   the #pragma attribute templates, oldest first:
//                  NAME class CLASS attributes 0xAAAA
//                    type TYPE
//   writer       the put operations in call order: "putdatalabel NAME",
//                "putreserve N", "putenddata", "putdef NAME MODE",
//                "putvalue 0xVALUE SIZE", "putdouble VALUE SIZE",
//                "putaddress LEAF SIZE" (the leaf in prefix form),
//                "putbytes LENGTH "TEXT"", "putlitlabel LABEL ALIGN",
//                "putspace NAME" (each name putspaces announces),
//                "putsection LINE 0xWORD NAME" (- without name), "putliterals"
//   functions    each function definition as parsed, before its records
//                are released (stmtdump.h)
//   expressions  (with --expr) each finished expression: its tree in prefix
//                form, (OP TYPE operand...), with leaves NAME:TYPE (contents),
//                &NAME+OFFSET:TYPE (address), VALUE:TYPE, "TEXT":TYPE and
//                1.5:double, types short (char uchar short ushort int uint
//                long ulong float double void ptr(T) arr[N](T) fn(T)
//                bits(UNIT,POS,WIDTH) struct S); with --flags the node flags
//                4, 8, 0x10 and 0x20 follow the type as #N; with --ctext C
//                text instead, each operator cast to its type
//
// An enumeration constant's value is written signed, other values unsigned.
// CLASS is the storage class's number and name (none, placed, extern,
// static, typedef, enum-constant, member, register, ...). TYPE is written
// out from the outside in: int, unsigned char, ..., float, double, void;
// "bit-field of int unit at P width W"; "pointer 0xAAAA to TYPE" (the
// pointed-to attribute word); "array[N] of TYPE" ("array[]" unknown);
// "function(PARAMETERS) returning TYPE", where a prototype lists its entries
// ("TYPE NAME", the fixed-arity end as void) and an identifier list its
// names; "struct NAME", "union NAME", "enum NAME" (<anonymous> without tag).
// A symbol's own type line ends with "(size S, align A)". The members of a
// struct or union without tag follow, indented, the line that names it.
#pragma once

namespace parsedump {

// qvparsedump [cpppc options] file: the front end's exit status.
int run(int argc, char** argv);

}  // namespace parsedump
