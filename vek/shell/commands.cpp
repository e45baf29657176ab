// What the shell asks of a command interpreter.
#include "vek/shell/commands.h"

#include <cstdio>
#include <vector>

#include "vek/core/support/messages.h"
#include "vek/core/support/output.h"

namespace vek::shell {

void CommandHost::runcmdfile(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        puterror({msgtext(5), path});
        return;
    }
    std::string line;
    int c;
    std::vector<std::string> lines;
    while ((c = std::fgetc(f)) != EOF) {
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
            line.clear();
        } else {
            line += static_cast<char>(c);
        }
    }
    if (!line.empty()) lines.push_back(line);
    std::fclose(f);
    for (const std::string& l : lines)
        if (!l.empty()) doblock(l);
}

}  // namespace vek::shell
