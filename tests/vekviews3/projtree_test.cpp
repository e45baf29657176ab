// Project trees and their popup command lines.
#include <gtest/gtest.h>

#include "varfixture.h"

#include "vek/views/varmodel/projtree.h"

namespace vek {
namespace {

using testvars::var;

struct Program {
    DebugInfo di;
    AggregateDescriptor sdesc;
    Program(bool split) {
        sdesc.members = {var("a", 24, sc::Mos), var("b", 16, sc::Mos)};
        for (auto [name, core] : {std::pair{"main.c", 0}, {"Aux.c", 1}}) {
            auto f = std::make_unique<FileRecord>();
            f->name = name;
            f->core = core;
            auto fn = std::make_unique<FunctionRecord>();
            fn->name = core ? "tick" : "main";
            fn->argtext = core ? "int n" : "";
            fn->firstline = 12;
            fn->file = f.get();
            f->funcs.push_back(std::move(fn));
            auto scope = std::make_unique<FunctionRecord>();
            scope->name = ".";
            if (!core) {
                VarRecord s = var("s", 72, sc::FixExt);
                s.desc.agg = &sdesc;
                scope->vars = {var("grid", (3u << 30) | (3u << 28) | 24, sc::FixExt, {3, 4}), s,
                               var("ratio", 40, sc::Fix), var("T", 24, sc::TType)};
            }
            f->funcs.push_back(std::move(scope));
            di.files.push_back(std::move(f));
        }
        if (split) di.splitmask = 0x08;
    }
};

TEST(ProjectTree, FilesFunctionsVariables) {
    Program p(false);
    ProjTrees t = buildprojtrees(p.di);
    ASSERT_EQ(t.files.size(), 2u);
    EXPECT_EQ(t.files[0]->text, "Aux.c");   // sorted ignoring case
    const ProjNode& mainc = *t.files[1];
    ASSERT_EQ(mainc.children.size(), 2u);
    EXPECT_EQ(mainc.children[0]->text, "Functions");
    EXPECT_EQ(mainc.children[0]->children[0]->text, "main()");
    const ProjNode& vars = *mainc.children[1];
    ASSERT_EQ(vars.children.size(), 3u);    // typedefs left out
    EXPECT_EQ(vars.children[0]->text, "grid[3][4]");
    EXPECT_EQ(t.funcs.size(), 2u);
    EXPECT_EQ(t.funcs[1]->text, "tick(int n)");
    ASSERT_EQ(t.vars.size(), 2u);           // externs only
    const ProjNode& s = *t.vars[1];
    const ProjNode& b = *s.children[1];
    EXPECT_EQ(qualifiedname(b), "s.b");
    EXPECT_EQ(projcommand(projcmd::Monitor, b), "monit s.b");
    EXPECT_EQ(projcommand(projcmd::ReadBreak, b), "dbreak /t:r main.c:s.b");
    EXPECT_EQ(projcommand(projcmd::BreakEntry, *t.funcs[0]), "break /e main()");
    EXPECT_EQ(projcommand(projcmd::GotoEntry, *t.funcs[0]), "go main():12");
    EXPECT_TRUE(projenabled(projcmd::Update, b, false));
    EXPECT_FALSE(projenabled(projcmd::Update, *vars.children[1], false));   // float "ratio"
    EXPECT_FALSE(projenabled(projcmd::Update, *vars.children[0], false));   // array
    EXPECT_FALSE(projenabled(projcmd::VarXref, b, false));
    EXPECT_FALSE(projenabled(projcmd::FuncXref, *t.funcs[0], false));
}

TEST(ProjectTree, CoreFoldersAndNoSources) {
    Program p(true);
    ProjTrees t = buildprojtrees(p.di);
    ASSERT_EQ(t.files.size(), 2u);
    EXPECT_EQ(t.files[1]->text, " [z1]  Source Files");
    EXPECT_EQ(t.files[1]->children[0]->text, "main.c");
    EXPECT_EQ(t.funcs[0]->children[0]->text, "tick(int n)");
    DebugInfo none;
    EXPECT_TRUE(buildprojtrees(none).empty());
}

TEST(UpdateDialog, ReadsFormatsAndWrites) {
    std::vector<std::string> ran;
    UpdateDialogLogic d;
    d.run = [&](const std::string& line) {
        ran.push_back(line);
        if (line == "eval s.b") return std::string("s.b = 3\n");
        if (line == "eval /x s.b") return std::string("s.b = 0x3\n");
        return std::string();
    };
    d.open("s.b");
    EXPECT_EQ(d.field, " 3");
    d.format('x');
    EXPECT_EQ(d.field, " 0x3");
    d.field = "5";
    EXPECT_TRUE(d.ok());
    EXPECT_EQ(ran.back(), "updat s.b=5");
    d.field.clear();
    EXPECT_FALSE(d.ok());
    EXPECT_EQ(ran.size(), 3u);
}

}  // namespace
}  // namespace vek
