// The variable tree pane on the offscreen platform.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <map>

#include "vek/views/varviews.h"
#include "vek/views/varwindows.h"

namespace vek {
namespace {

constexpr uint32_t Arr = 3u << 30;

struct Mem {
    std::map<uint32_t, uint8_t> bytes;
    VarSource source() {
        return {[this](uint32_t a) { auto it = bytes.find(a); return it == bytes.end() ? uint8_t(0) : it->second; },
                {}, 4};
    }
};

VarRecord var(const char* name, uint32_t type, std::vector<uint32_t> steps = {}) {
    VarRecord v;
    v.name = name;
    v.type = type;
    v.sclass = 1;
    v.desc.steps = std::move(steps);
    return v;
}

QAction* findaction(QMenu* m, int id) {
    for (QAction* a : m->actions()) {
        if (a->data().toInt() == id && !a->menu()) return a;
        if (a->menu())
            if (QAction* b = findaction(a->menu(), id)) return b;
    }
    return nullptr;
}

TEST(VarTreePane, ExpandsFormatsAndUpdates) {
    Mem m;
    m.bytes[0x103] = 7;
    VarRecord a = var("a", Arr | 24, {3}), w = var("w", 16), name = var("n", Arr | 9, {4});
    VarTreePane pane(TreeKind::Locals, m.source(), nullptr);
    pane.model()->reset([&] {
        pane.tree.add(a, 0x100);
        pane.tree.add(w, 0x200);
        pane.tree.add(name, 0x300);
    });
    QModelIndex ai = pane.model()->index(0, 0);
    EXPECT_TRUE(pane.model()->hasChildren(ai));
    pane.view()->expand(ai);
    ASSERT_EQ(pane.model()->rowCount(ai), 3);
    EXPECT_EQ(pane.model()->index(0, 0, ai).data().toString(), QStringLiteral("a[0] = 7"));
    pane.command(varcmd::Hex, ai);
    EXPECT_EQ(pane.model()->index(0, 0, ai).data().toString(), QStringLiteral("a[0] = 0x7"));
    pane.view()->collapse(ai);
    EXPECT_TRUE(pane.tree.roots[0]->children.empty());

    // Update: a word writes two bytes; a text that is no number beeps
    QModelIndex wi = pane.model()->index(1, 0);
    QMenu* pop = pane.popupfor(wi);
    ASSERT_TRUE(pop);
    EXPECT_TRUE(findaction(pop, varcmd::Update)->isEnabled());
    EXPECT_FALSE(findaction(pop, varcmd::String)->isEnabled());
    EXPECT_TRUE(findaction(pop, varcmd::Info));
    int beeps = 0;
    pane.beep = [&] { ++beeps; };
    pane.evaluate = [](const std::string& t, const VarRecord&, uint64_t& v) {
        char* end = nullptr;
        v = std::strtoull(t.c_str(), &end, 0);
        return end && *end == 0;
    };
    pane.writeback = [&](const VarRecord&, uint32_t addr, uint64_t v) {
        m.bytes[addr] = uint8_t(v >> 8);
        m.bytes[addr + 1] = uint8_t(v);
    };
    EXPECT_FALSE(pane.applyupdate(wi, "xyz"));
    EXPECT_EQ(beeps, 1);
    EXPECT_TRUE(pane.applyupdate(wi, "0x1234"));
    EXPECT_EQ(m.bytes[0x200], 0x12);
    EXPECT_EQ(m.bytes[0x201], 0x34);
    EXPECT_EQ(wi.data().toString(), QStringLiteral("w = 4660"));
    std::string infotext;
    pane.info = [&](const std::string& title, const std::string& text) { infotext = title + "|" + text; };
    pane.command(varcmd::Info, wi);
    EXPECT_EQ(infotext, "w|static short w");
    pane.frozen = true;
    EXPECT_FALSE(findaction(pane.popupfor(wi), varcmd::Update)->isEnabled());

    // a char array: String shows it and it no longer expands
    QModelIndex ni = pane.model()->index(2, 0);
    m.bytes[0x300] = 'o';
    m.bytes[0x301] = 'k';
    pane.view()->expand(ni);
    pane.command(varcmd::String, ni);
    EXPECT_EQ(ni.data().toString(), QStringLiteral("n = \"ok\""));
    EXPECT_FALSE(pane.model()->hasChildren(ni));
}

TEST(VarWindows, AggregateSnapshotFreezes) {
    Mem m;
    m.bytes[0x40000013] = 3;
    AggregateDescriptor inner, outer;
    VarRecord z = var("z", 24), x = var("x", 24), in = var("in", 72);
    z.sclass = x.sclass = in.sclass = 9;
    in.value = 4;
    in.desc.agg = &inner;
    inner.members = {z};
    outer.members = {x, in};
    VarRecord s = var("s", 72);
    s.desc.agg = &outer;
    AggregateWindows wins;
    AggregateWindow* w = wins.show(s, 0x40000010, "s", 1234, m.source(), nullptr);
    AggregateView view(*w, m.source());
    EXPECT_EQ(view.windowTitle(), QStringLiteral("s  [0x40000010] (Time: 1234)"));
    QModelIndex root = view.pane()->model()->index(0, 0);
    ASSERT_EQ(view.pane()->model()->rowCount(root), 2);
    QModelIndex xi = view.pane()->model()->index(0, 0, root);
    EXPECT_TRUE(xi.data().toString().endsWith(QStringLiteral("int x = 3")));
    EXPECT_TRUE(view.pane()->model()->hasChildren(view.pane()->model()->index(1, 0, root)));
    EXPECT_TRUE(findaction(view.pane()->popupfor(xi), varcmd::Update)->isEnabled());
    w->setauto(false);
    wins.drop();
    view.sync();
    EXPECT_EQ(view.status(), QStringLiteral("Frozen - Manual Remove"));
    EXPECT_FALSE(findaction(view.pane()->popupfor(xi), varcmd::Update)->isEnabled());
}

TEST(VarWindows, LocalsSplitAndRebuild) {
    Mem m;
    FunctionRecord f;
    f.name = "f";
    f.vars = {var("n", 24)};
    f.vars[0].sclass = 2;
    f.firstlocal = -1;
    VarWindow one(TreeKind::Locals, false, m.source(), nullptr);
    EXPECT_EQ(one.pane(1), nullptr);
    VarWindow two(TreeKind::Locals, true, m.source(), nullptr);
    ASSERT_NE(two.pane(1), nullptr);   // core 1 below
    two.refreshlocals(1, {&f, 0x100, true}, [](const VarRecord&) { return 0x200u; });
    QModelIndex head = two.pane(1)->model()->index(0, 0);
    EXPECT_EQ(head.data().toString(), QStringLiteral("f()"));
    EXPECT_EQ(two.pane(1)->model()->index(0, 0, head).data().toString(), QStringLiteral("n = 0"));
    EXPECT_EQ(two.pane(0)->model()->rowCount(), 0);
    two.refreshlocals(1, {}, {});      // no frame: empty
    EXPECT_EQ(two.pane(1)->model()->rowCount(), 0);
}

TEST(VarWindows, ProjectPaneCommands) {
    DebugInfo di;
    AggregateDescriptor sd;
    VarRecord b = var("b", 16);
    b.sclass = 9;
    sd.members = {b};
    auto f = std::make_unique<FileRecord>();
    f->name = "m.c";
    auto scope = std::make_unique<FunctionRecord>();
    VarRecord s = var("s", 72), r = var("r", 40);
    s.sclass = r.sclass = 6;
    s.desc.agg = &sd;
    scope->vars = {s, r};
    f->funcs.push_back(std::move(scope));
    di.files.push_back(std::move(f));
    ProjectPane pane;
    std::vector<std::string> ran;
    pane.docmd = [&](const std::string& c) { ran.push_back(c); };
    pane.maketrees(&di);
    ASSERT_EQ(pane.tabs()->count(), 3);
    QTreeWidget* vars = pane.tree(2);
    QTreeWidgetItem* bi = vars->topLevelItem(1)->child(0);
    ASSERT_TRUE(bi);
    EXPECT_EQ(bi->text(0), QStringLiteral("b"));
    QMenu* pop = pane.popupfor(bi);
    EXPECT_FALSE(findaction(pop, projcmd::VarXref)->isEnabled());
    pane.command(projcmd::Monitor, bi);
    EXPECT_EQ(ran.back(), "monit s.b");
    EXPECT_FALSE(findaction(pane.popupfor(vars->topLevelItem(0)), projcmd::Update)->isEnabled());   // float r
    pane.maketrees(nullptr);
    EXPECT_EQ(pane.tabs()->count(), 0);
}

TEST(VarWindows, MonitorsFormatsAndPlaceholders) {
    AggregateDescriptor sd;
    VarRecord x = var("x", 24);
    sd.members = {x};
    MonitorTree tree([&](const MonItem& m) {
        MonValue v;
        v.kind = 1;
        if (m.expr == "s") {
            v.type.type = 72;
            v.type.desc.agg = &sd;
        } else {
            v.type.type = 24;
            v.text = m.format == 'x' ? "0x5" : "5";
        }
        return v;
    });
    tree.insert(1, "s");
    MonitorsView view(tree);
    QTreeWidgetItem* top = view.view()->topLevelItem(0);
    ASSERT_EQ(top->childCount(), 1);
    EXPECT_EQ(top->child(0)->text(0), QStringLiteral("s.x = 5"));
    view.command(varcmd::Hex, view.view()->topLevelItem(0));
    EXPECT_EQ(view.view()->topLevelItem(0)->child(0)->text(0), QStringLiteral("s.x = 0x5"));
    view.view()->topLevelItem(0)->setExpanded(false);
    EXPECT_EQ(view.view()->topLevelItem(0)->child(0)->text(0), QStringLiteral("Dummy"));
    int removed = 0;
    view.rmmonit = [&](int n) { removed = n; };
    view.command(342, view.view()->topLevelItem(0));
    EXPECT_EQ(removed, 1);
    EXPECT_EQ(view.view()->topLevelItemCount(), 0);
}

}  // namespace
}  // namespace vek

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
