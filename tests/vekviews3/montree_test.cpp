// The Monitors window's tree over a small evaluator of our own.
#include <gtest/gtest.h>

#include <map>

#include "vek/views/varmodel/montree.h"

namespace vek {
namespace {

struct World {
    AggregateDescriptor sdesc;
    std::map<std::string, MonValue> values;
    bool inscope = true;
    World() {
        VarRecord x, b;
        x.name = "x";
        b.name = "b";
        sdesc.members = {x, b};
        MonValue s;
        s.kind = 1;
        s.type.type = 72;
        s.type.desc.agg = &sdesc;
        values["s"] = s;
        values["(*p)"] = s;
        values["*p"] = s;
        MonValue name;
        name.kind = 1;
        name.type.type = (3u << 30) | 9;
        name.type.desc.steps = {3};
        name.text = "\"ab\"";
        values["name"] = name;
        MonValue r;
        r.error = 53;
        r.kind = 4;
        r.regname = "reg. R31";
        r.type.type = 24;
        values["r"] = r;
    }
    MonitorTree::EvalFn eval() {
        return [this](const MonItem& m) {
            auto it = values.find(m.expr);
            if (it != values.end()) {
                MonValue v = it->second;
                if (m.format) v.text += std::string("/") + m.format;
                return v;
            }
            MonValue v;
            if (m.expr == "loc" && !inscope) v.error = 11;
            else {
                v.kind = 1;
                v.type.type = 24;
                v.text = "5";
                if (m.format) v.text += std::string("/") + m.format;
            }
            return v;
        };
    }
};

TEST(Monitors, TextsChildrenAndScope) {
    World w;
    MonitorTree t(w.eval());
    MonItem* s = t.insert(1, "s");
    EXPECT_TRUE(s->expanded);
    ASSERT_EQ(s->children.size(), 2u);
    EXPECT_EQ(s->children[1]->text, "s.b = 5");
    MonItem* p = t.insert(2, "*p");
    EXPECT_EQ(p->children[0]->expr, "(*p).x");
    MonItem* loc = t.insert(3, "loc");
    EXPECT_EQ(loc->text, "loc = 5");
    w.inscope = false;
    t.refreshall();
    EXPECT_EQ(loc->text, "loc   <not in scope>");
    w.inscope = true;
    t.refreshall();
    EXPECT_EQ(loc->text, "loc = 5");
    MonItem* r = t.insert(4, "r");
    EXPECT_EQ(r->text, "r = reg. R31");
    EXPECT_FALSE(t.popupfor(*r).update);   // not addressable
    EXPECT_TRUE(t.popupfor(*loc).update);
    EXPECT_FALSE(t.popupfor(*s).format);   // a structure: no formats
    EXPECT_FALSE(t.popupfor(*s->children[0]).del);
    t.setformat(s, 'x');
    EXPECT_EQ(s->children[0]->text, "s.x = 5/x");
    t.remove(2);
    t.remove(4);
    EXPECT_EQ(t.savetext(), "\n\t\tMonitors\n\ns\n\ts.x = 5/x\n\ts.b = 5/x\nloc = 5\n");
}

TEST(Monitors, CharArrayStringAndBack) {
    World w;
    MonitorTree t(w.eval());
    MonItem* n = t.insert(1, "name");
    EXPECT_EQ(n->children.size(), 3u);
    EXPECT_EQ(n->children[2]->expr, "name[2]");
    EXPECT_TRUE(t.popupfor(*n).string);
    t.setformat(n, 'S');
    EXPECT_TRUE(n->children.empty());
    EXPECT_EQ(n->text, "name = \"ab\"/S");
    EXPECT_FALSE(t.placeholder(n));
    t.setformat(n, 'd');
    EXPECT_TRUE(t.placeholder(n));   // expandable again
    t.expand(n);
    EXPECT_EQ(n->children[0]->format, 'd');
}

}  // namespace
}  // namespace vek
