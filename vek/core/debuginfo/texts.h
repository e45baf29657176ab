// Text helpers of the debugger's commands and views (see texts.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "vek/core/debuginfo/debuginfo.h"

namespace vek {

const char* skipblanks(const char* text);
bool isidchar(char c);
// The end of one statement: the first ';' outside braces, or just after the
// '}' that closes the first brace, or the end of the text.
const char* stmtend(const char* text);

std::string sdectext(int32_t value);
std::string dectext(uint32_t value);
std::string hextext(uint32_t value);                  // "0x1f" padded to 11 characters
std::string hextextb(uint32_t value);                 // "0x1f"
std::string hexdottext(uint32_t address, int32_t number);   // "0x246.5", 14 characters
std::string padnum(uint32_t value, int width, char fill);

// The file-scope function that ends a file's function list.
const FunctionRecord* filescope(const FileRecord& file);
const VarRecord* findfilevar(const DebugInfo& di, std::string_view name, std::string_view file, int sclass);
bool funchasvar(const FunctionRecord* f, std::string_view name);
bool filehasvar(const FileRecord* file, std::string_view name);
std::string listfuncs(const DebugInfo& di, const char* file, bool witharguments);

}  // namespace vek
