// Locals, Globals and aggregate window contents.
#include <gtest/gtest.h>

#include "vek/views/varmodel/varwins.h"

namespace vek {
namespace {

VarRecord winvar(const char* name, uint32_t type, uint8_t sclass, uint32_t value = 0) {
    VarRecord v;
    v.name = name;
    v.type = type;
    v.sclass = sclass;
    v.value = value;
    return v;
}

VarSource zeros() { return {[](uint32_t) { return uint8_t(0); }, [](uint32_t, uint8_t) { return 0u; }, 4}; }

std::vector<std::string> texts(VarTree& t) {
    std::vector<std::string> out;
    std::string s = t.savetext();
    size_t p = 0;
    while (p < s.size()) {
        size_t e = s.find('\n', p);
        out.push_back(s.substr(p, e - p));
        p = e + 1;
    }
    return out;
}

TEST(Locals, ArgumentsUntilTheFrameIsSetUp) {
    FunctionRecord f;
    f.name = "step";
    f.vars = {winvar("n", 24, sc::Arg, 8), winvar("i", 24, sc::Aut, 12), winvar("T", 24, sc::TType)};
    f.firstlocal = 1;
    LocalsPane pane(zeros());
    auto at = [](const VarRecord& v) { return 0x1000 + v.value; };
    EXPECT_TRUE(pane.refresh({}, at));
    EXPECT_TRUE(pane.tree.roots.empty());   // no frame: empty
    EXPECT_TRUE(pane.refresh({&f, 0x1000, false}, at));
    EXPECT_EQ(texts(pane.tree), (std::vector<std::string>{"step()", "\tn = 0"}));
    EXPECT_TRUE(pane.refresh({&f, 0x1000, true}, at));
    EXPECT_EQ(texts(pane.tree), (std::vector<std::string>{"step()", "\tn = 0", "\ti = 0"}));
    uint64_t before = pane.tree.formatted;
    EXPECT_FALSE(pane.refresh({&f, 0x1000, true}, at));   // same frame: texts only
    EXPECT_EQ(pane.tree.roots.size(), 1u);
    texts(pane.tree);
    EXPECT_EQ(pane.tree.formatted - before, 2u);
    FunctionRecord caller;
    caller.name = "main";
    caller.vars = {winvar("k", 24, sc::Aut, 4)};
    caller.firstlocal = 0;
    EXPECT_TRUE(pane.refresh({&caller, 0x2000, true}, at));   // the frame moved up
    EXPECT_EQ(texts(pane.tree)[0], "main()");
}

TEST(Globals, StaticsAndExternsByFileOfTheCore) {
    DebugInfo di;
    for (auto [name, core] : {std::pair{"a.c", 0}, {"b.c", 1}, {"c.c", 0}}) {
        auto file = std::make_unique<FileRecord>();
        file->name = name;
        file->core = core;
        auto scope = std::make_unique<FunctionRecord>();
        scope->name = ".";
        if (std::string(name) != "c.c")
            scope->vars = {winvar("g", 24, sc::Fix, 0x40), winvar("e", 24, sc::FixExt, 0x44), winvar("t", 24, sc::TType)};
        file->funcs.push_back(std::move(scope));
        di.files.push_back(std::move(file));
    }
    VarTree tree(TreeKind::Globals, zeros());
    fillglobals(tree, di, 0, {});
    EXPECT_EQ(texts(tree), (std::vector<std::string>{"a.c", "\tg = 0", "\te = 0"}));
}

TEST(Aggregates, OpenFreezeAndClose) {
    AggregateDescriptor inner, outer;
    inner.members = {winvar("z", 24, sc::Mos)};
    inner.size = 4;
    VarRecord in = winvar("in", 72, sc::Mos, 4);
    in.desc.agg = &inner;
    outer.members = {winvar("x", 24, sc::Mos), in};
    outer.size = 8;
    VarRecord s = winvar("s", 72, sc::Fix);
    s.desc.agg = &outer;
    AggregateWindows wins;
    std::string err;
    VarRecord p = winvar("*p", 72, sc::Fix);
    EXPECT_EQ(wins.show(p, 0, "*p", 5, zeros(), &err), nullptr);
    EXPECT_EQ(err, "Object *p has NULL address");
    AggregateWindow* w = wins.show(s, 0x40000010, "s", 1234, zeros(), &err);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->title, "s  [0x40000010] (Time: 1234)");
    VarTree& t = *w->tree;
    VarTree::Node* root = t.roots[0].get();
    ASSERT_EQ(t.rowcount(root), 2);
    VarTree::Node* nested = t.child(root, 1);
    EXPECT_TRUE(t.placeholder(nested));
    EXPECT_STREQ(t.placeholdertext(), "??Dummy??");
    AggregateWindow* manual = wins.show(s, 0x40000010, "s", 1300, zeros(), &err);
    manual->setauto(false);
    EXPECT_EQ(manual->status(), "Manual Remove (Frozen)");
    wins.drop();
    ASSERT_EQ(wins.wins.size(), 1u);
    EXPECT_EQ(wins.wins[0]->status(), "Frozen - Manual Remove");
    wins.closeall();
    EXPECT_TRUE(wins.wins.empty());
}

}  // namespace
}  // namespace vek

namespace vek {
namespace {

TEST(Browsers, KindsFollowFreezeAndReopen) {
    FileRecord fa, fb;
    fa.name = "a.c";
    fb.name = "b.c";
    for (FileRecord* f : {&fa, &fb}) {
        auto fn = std::make_unique<FunctionRecord>();
        fn->name = f == &fa ? "fa" : "fb";
        fn->file = f;
        fn->vars = {winvar("n", 24, sc::Arg, 0x100)};
        fn->firstlocal = -1;
        f->funcs.push_back(std::move(fn));
        auto scope = std::make_unique<FunctionRecord>();
        scope->vars = {winvar(f == &fa ? "ga" : "gb", 24, sc::Fix, 0x200)};
        f->funcs.push_back(std::move(scope));
    }
    uint8_t mem = 1;
    VarBrowsers b;
    b.src = {[&](uint32_t a) { return a == 0x203 ? mem : uint8_t(0); }, {}, 4};
    BrowseState st;
    st.frame = {fa.funcs[0].get(), 0, true};
    st.srcfile = &fa;
    BrowserPane* brief = b.open(630, false, false, st);
    ASSERT_TRUE(brief);
    EXPECT_EQ(texts(brief->tree), (std::vector<std::string>{"fa()", "\targument int n"}));
    EXPECT_EQ(b.openfuncvars(383, st), nullptr);   // one of each kind
    BrowserPane* file = b.open(631, true, true, st);
    EXPECT_EQ(texts(file->tree)[1], "\t     at 0x200       static int ga = 1");
    file->autorefresh = false;                      // frozen
    mem = 9;
    b.refresh(st);
    EXPECT_EQ(texts(file->tree)[1], "\t     at 0x200       static int ga = 1");
    file->autorefresh = true;
    st.srcfile = &fb;                               // the source window moved on
    b.refresh(st);
    EXPECT_EQ(texts(file->tree)[0], "b.c");
    // the `vars` browser counts as the application browser until closed
    BrowserPane* vars = b.open(1, true, false, st);
    ASSERT_TRUE(vars);
    EXPECT_EQ(b.open(632, true, true, st), nullptr);
    b.close(vars);
    EXPECT_TRUE(b.open(632, true, true, st));
}

}  // namespace
}  // namespace vek

#include "vek/command/expr/expr.h"
#include "vek/views/varmodel/varbind.h"

namespace vek {
namespace {

TEST(Binding, CurrentFrameAndAddressesFromTheEnvironment) {
    resetexpr();
    FunctionRecord inner, outer;
    inner.name = "inner";
    inner.vars = {winvar("i", 24, sc::Aut, 8)};
    outer.name = "outer";
    outer.vars = {winvar("o", 24, sc::Aut, 4)};
    int current = 0;
    exprenv().frames.depth = [](int core) { return core == 0 ? 2 : 0; };
    exprenv().frames.current = [&](int core) { return core == 0 ? current : -1; };
    exprenv().frames.at = [&](int, int i) {
        FrameView v;
        v.func = i == 0 ? &inner : &outer;
        v.base = i == 0 ? 0x1000u : 0x2000u;
        v.setup = true;
        return v;
    };
    EXPECT_EQ(currentlocals(0).func, &inner);
    EXPECT_EQ(currentlocals(1).func, nullptr);   // no frame
    EXPECT_EQ(frameaddr(0)(inner.vars[0]), 0x1000u - 8);
    current = 1;                                 // `move /u`: the caller
    LocalsPane pane(exprsource());
    pane.refresh(currentlocals(0), frameaddr(0));
    EXPECT_EQ(texts(pane.tree)[0], "outer()");
    EXPECT_EQ(frameaddr(0)(inner.vars[0]), 0u);  // no longer in the chain
    resetexpr();
}

}  // namespace
}  // namespace vek
