// The driver loop: handlers and block passes from the pass tables, the
// deferred passes, the bound on changes, the hook that reports every change
// and units the optimizer leaves as they are.
#include "harness.h"
#include "toollib/options.h"
#include "tools/optcheck/checker.h"

namespace {

using namespace opt;
using opttest::insn;
using opttest::loadunit;

// Replaces the node at place by the line in o.line.
void replace(Optimizer& o, InsnNode*& place) {
    InsnNode* n = parseinsn(o, o.line);
    n->kind |= place->kind & KVolatile;
    insinsn(o.unit, place, n);
    delinsn(o, place);
    place = n;
}

int lival(const InsnNode* n) { return std::stoi(std::string(nextoperand(n->text, 1))); }

// T7: li rX,n with n below 3 becomes li rX,n+1.
int countup(Optimizer& o, InsnNode*& place, const InsnRow&) {
    o.passname = "T7";
    if (o.disabled("T7") || lival(place) >= 3) return 0;
    o.line = "li " + std::string(firstoperand(place->text)) + "," + std::to_string(lival(place) + 1);
    replace(o, place);
    ++o.modifications;
    return 1;
}

// Z1, deferred: deletes a nop once the others are done.
int dropnop(Optimizer& o, InsnNode* label) {
    o.passname = "Z1";
    for (InsnNode* n = label; n; n = n->next)
        if (n->isinsn() && std::string_view(mnemonicof(n)) == "nop") {
            if (o.unit.deferred != -1) {
                o.unit.deferred = 1;
                return 0;
            }
            delinsn(o, n);
            ++o.destructions;
            return 1;
        }
    return 0;
}

// W7: rewrites a li into itself, for ever.
int churn(Optimizer& o, InsnNode*& place, const InsnRow&) {
    o.passname = "W7";
    o.line = lineof(place);
    replace(o, place);
    return 1;
}

// X7: li r3,5 becomes li r3,6 (wrong); X6: li r3,5 becomes li r3,0x5.
int wrong(Optimizer& o, InsnNode*& place, const InsnRow&) {
    o.passname = "X7";
    if (place->text != "r3,5") return 0;
    o.line = "li r3,6";
    replace(o, place);
    return 1;
}
int harmless(Optimizer& o, InsnNode*& place, const InsnRow&) {
    o.passname = "X6";
    if (place->text != "r3,5") return 0;
    o.line = "li r3,0x5";
    replace(o, place);
    return 1;
}

int idle(Optimizer&, InsnNode*&, const InsnRow&) { return 0; }

// The handler alone examines its row; every other row is left alone.
void onrow(Optimizer& o, const char* mnemonic, Handler h) {
    initinsntab();
    o.passes.byrow.assign(insntable().size(), {idle});
    o.passes.byrow[static_cast<size_t>(findinsn(mnemonic))] = {h};
    o.passes.global.clear();
    o.passes.final.clear();
}

struct Recorded {
    std::vector<optcheck::Change> changes;
    ChangeHook hook() {
        return [this](std::string_view pass, const std::string& text) { changes.push_back({std::string(pass), text}); };
    }
    std::vector<std::string> passes() const {
        std::vector<std::string> p;
        for (const auto& c : changes) p.push_back(c.pass);
        return p;
    }
};

const char* const kUnit = "_f:\nFL:\nL1:\n\tli\tr3,0\n\tnop\n\tli\tr4,2\n\tuse\t(r3)\n\tblr\n\tb\tL1\nFL:\n";

TEST(Driver, HandlersThenDeferredPasses) {
    Optimizer o;
    onrow(o, "li", countup);
    o.passes.block = {{"Z1", dropnop}};
    Recorded rec;
    o.onchange = rec.hook();
    loadunit(o, kUnit, false);
    optunit(o);
    EXPECT_EQ(rec.passes(), (std::vector<std::string>{"", "T7", "T7", "T7", "T7", "Z1"}));
    EXPECT_EQ(unittext(o), "_f:\nFL:\nL1:\n\tli\tr3,3\n\tli\tr4,3\n\tblr\n\tb\tL1\nFL:\n");
    EXPECT_EQ(o.modifications, 4);
    EXPECT_EQ(o.destructions, 1);
    EXPECT_EQ(rec.changes.front().text, kUnit);   // the unit as read, use line and all
}

TEST(Driver, DisabledPassDoesNothing) {
    Optimizer o;
    onrow(o, "li", countup);
    parsedisable(o, "t7");
    loadunit(o, kUnit, false);
    optunit(o);
    EXPECT_EQ(o.modifications, 0);
}

TEST(Driver, ChangesWithoutEndAreBounded) {
    Optimizer o;
    tl::resettoolcontext();
    tl::initprogname("coppc");
    onrow(o, "li", churn);
    o.changelimit = 3;
    Recorded rec;
    o.onchange = rec.hook();
    loadunit(o, kUnit, false);
    size_t expected = 1 + 3 * static_cast<size_t>(o.unit.lines) + 1;   // as read, then one past the bound
    o.out = std::tmpfile();
    ::testing::internal::CaptureStderr();
    optunit(o);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "coppc: warning: too many changes in _f, written as it stands\n");
    EXPECT_EQ(rec.changes.size(), expected);
    writeunit(o);
    std::rewind(o.out);
    char buf[256] = {};
    size_t n = std::fread(buf, 1, sizeof buf - 1, o.out);
    EXPECT_EQ(std::string(buf, n), "_f:\nL1:\n\tli\tr3,0\n\tnop\n\tli\tr4,2\n\tblr\n\tb\tL1\n");
}

TEST(Driver, UnitsWithUnknownLinesAreLeftAlone) {
    Optimizer o;
    onrow(o, "li", countup);
    Recorded rec;
    o.onchange = rec.hook();
    loadunit(o, "_f:\nFL:\n\tli\tr3,0\n\te_beq\tL5\nL5:\nL6:\n\tuse\t(r3)\n\tblr\nFL:\n", false);
    EXPECT_TRUE(o.unit.opaque);
    optunit(o);
    EXPECT_TRUE(rec.changes.empty());
    EXPECT_EQ(unittext(o), "_f:\nFL:\n\tli\tr3,0\n\te_beq\tL5\nL5:\nL6:\n\tblr\nFL:\n");
}

// Every change reported by the hook is checked against the text before it.
TEST(Driver, HookFeedsTheRewriteChecker) {
    const std::string text = "_f:\nFL:\n\tli\tr3,5\n\tadd\tr3,r4\n\tuse\t(r3)\n\tblr\nFL:\n";
    for (Handler h : {wrong, harmless}) {
        Optimizer o;
        onrow(o, "li", h);
        Recorded rec;
        o.onchange = rec.hook();
        loadunit(o, text, false);
        optunit(o);
        ASSERT_EQ(rec.changes.size(), 2u);
        optcheck::Settings s;
        s.seeds = 3;
        optcheck::Verdict v = optcheck::checkchanges(rec.changes, s);
        if (h == wrong) {
            EXPECT_FALSE(v.ok);
            EXPECT_EQ(v.message.substr(0, 17), "pass X7: seed 1: ") << v.message;
            EXPECT_NE(v.message.find("r3 is"), std::string::npos) << v.message;
        } else {
            EXPECT_TRUE(v.ok) << v.message;
            EXPECT_EQ(v.returned, 3);
        }
    }
}

}  // namespace
