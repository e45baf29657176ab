// The rewrites of coppc: a table of functions before and after, each change
// run through the rewrite checker; the cases where a rewrite must not
// happen; the statistics and switches; and generated functions by the
// hundred, every change checked.
#include <random>
#include <sstream>

#include "harness.h"
#include "tools/optcheck/checker.h"

namespace {

using opttest::ScratchTest;
using opttest::unit;

// "li r3,5|L1:|blr" as the generator writes it: one line each, a tab
// between mnemonic and operands, labels as they stand.
std::string lines(const std::string& compact) {
    std::string out;
    std::stringstream in(compact);
    std::string item;
    while (std::getline(in, item, '|')) {
        size_t b = item.find_first_not_of(' ');
        if (b == std::string::npos) continue;
        item = item.substr(b);
        if (item.back() == ':') {
            out += item + "\n";
            continue;
        }
        size_t sp = item.find(' ');
        out += "\t" + (sp == std::string::npos ? item : item.substr(0, sp) + "\t" + item.substr(sp + 1)) + "\n";
    }
    return out;
}

struct Optimized {
    std::string out;     // the function's lines as written, without "_f:"
    std::vector<optcheck::Change> changes;
    optcheck::Verdict verdict;
    opttest::Result result;
};

optcheck::Settings quickhandlers() {
    optcheck::Settings s;
    s.seeds = 3;
    return s;
}

class Rewrites : public ScratchTest {
protected:
    Optimized optimize(const std::string& text, std::vector<std::string> args = {},
                       const optcheck::Settings& settings = quickhandlers()) {
        Optimized r;
        write("in.s", text);
        args.insert(args.end(), {"-o", "out.s", "in.s"});
        r.result = coppc(args, [&](std::string_view pass, const std::string& t) {
            r.changes.push_back({std::string(pass), t});
        });
        r.out = read("out.s");
        if (r.out.starts_with("_f:\n")) r.out.erase(0, 4);
        r.verdict = optcheck::checkchanges(r.changes, settings);
        return r;
    }
};

struct Case {
    const char* name;
    const char* before;
    const char* after;
};

// Each row: the function body before, and as coppc writes it.
const Case kCases[] = {
    {"dead li", "li r3,5|li r3,6|use (r3)|blr", "li r3,6|blr"},
    {"mr to itself", "mr r3,r3|use (r3)|blr", "blr"},
    {"writer of the source writes the target",
     "add r5,r3,r4|mr r3,r5|use (r3)|blr", "add r3,r3,r4|blr"},
    {"constants added up", "addi r3,r3,4|addi r3,8|use (r3)|blr", "addi r3,r3,12|blr"},
    {"addition of zero", "addi r3,0|use (r3)|blr", "blr"},
    {"three-operand addition of zero", "addi r3,r4,0|use (r3)|blr", "mr r3,r4|blr"},
    {"negative addition", "addi r3,-4|use (r3)|blr", "subi r3,4|blr"},
    {"an addition and its inverse", "addi r3,8|subi r3,8|use (r3)|blr", "blr"},
    {"addition folded into the next access",
     "addi r3,4|lwz r4,0(r3)|use (r3,r4)|blr", "lwz r4,4(r3)|addi r3,4|blr"},
    {"two-operand form after a move", "mr r3,r4|addi r3,5|use (r3)|blr", "addi r3,r4,5|blr"},
    {"or with zero", "ori r3,0|use (r3)|blr", "blr"},
    {"or with zero into another register", "ori r3,r4,0|use (r3)|blr", "mr r3,r4|blr"},
    {"xor with zero", "xori r3,r4,0|use (r3)|blr", "mr r3,r4|blr"},
    {"and with zero", "andi r3,r4,0|use (r3)|blr", "li r3,0|blr"},
    {"two ands", "andi r3,1|andi r3,3|use (r3)|blr", "andi r3,1|blr"},
    {"two ors", "ori r3,1|ori r3,6|use (r3)|blr", "ori r3,7|blr"},
    {"and with 255", "andi r3,255|use (r3)|blr", "extzb r3|blr"},
    {"and with 255 into a register", "andi r3,r4,255|use (r3)|blr", "extzb r3,r4|blr"},
    {"byte load needs no zero extension", "lbz r3,0(r4)|extzb r3|use (r3)|blr", "lbz r3,0(r4)|blr"},
    {"extension of itself", "extzb r3,r3|use (r3)|blr", "extzb r3|blr"},
    {"halfword load then sign extension", "lha r3,0(r4)|extsh r3|use (r3)|blr", "lha r3,0(r4)|blr"},
    {"lhz and extsh make lha", "lhz r3,0(r4)|extsh r3|use (r3)|blr", "lha r3,0(r4)|blr"},
    {"small constant is extended", "li r3,100|extsb r3|use (r3)|blr", "li r3,100|blr"},
    {"extension before a byte store", "extsb r3|stb r3,0(r4)|blr", "stb r3,0(r4)|blr"},
    {"load after a store of the value", "stw r3,0(r4)|lwz r5,0(r4)|add r3,r5,r6|use (r3)|blr",
     "stw r3,0(r4)|add r3,r3,r6|blr"},
    {"reader of a move reads its source", "mr r5,r4|add r3,r5,r6|use (r3)|blr", "add r3,r4,r6|blr"},
    {"a move and its way back", "mr r5,r3|mr r3,r5|use (r3)|blr", "blr"},
    {"repeated load", "lwz r5,8(r4)|stw r5,_x(r13)|lwz r5,8(r4)|mr r3,r5|use (r3)|blr",
     "lwz r5,8(r4)|stw r5,_x(r13)|lwz r3,8(r4)|blr"},
    {"repeated load, nothing stored between", "lwz r5,8(r4)|lwz r6,0(r4)|lwz r5,8(r4)|add r3,r5,r6|use (r3)|blr",
     "lwz r6,0(r4)|lwz r5,8(r4)|add r3,r5,r6|blr"},
    {"overwritten store", "stw r3,_x(r13)|stw r4,_x(r13)|blr", "stw r4,_x(r13)|blr"},
    {"repeated compare", "cmpwi r3,0|cmpwi r3,0|beq L1|li r3,1|L1:|use (r3)|blr",
     "cmpwi r3,0|beq L1|li r3,1|L1:|blr"},
    {"unused compare", "cmpwi r3,0|li r3,1|use (r3)|blr", "li r3,1|blr"},
    {"branch to the next line", "cmpwi r3,0|beq L1|L1:|use (r3)|blr", "blr"},
    {"unreachable code", "b L1|li r3,1|L1:|use (r3)|blr", "blr"},
    {"branch to a branch", "cmpwi r3,0|beq L1|li r3,1|L2:|use (r3)|blr|L1:|b L2",
     "cmpwi r3,0|beq L2|li r3,1|L2:|blr"},
    {"conditional branch over a jump", "cmpwi r3,0|beq L1|b L2|L1:|li r3,1|L2:|use (r3)|blr",
     "cmpwi r3,0|bne L2|li r3,1|L2:|blr"},
    {"compare with 0 becomes a record form", "add r3,r4,r5|cmpwi r3,0|beq L1|li r3,1|L1:|use (r3)|blr",
     "add. r3,r4,r5|beq L1|li r3,1|L1:|blr"},
    {"three-operand subtraction and compare become addi.",
     "subi r3,r22,17|cmpwi r3,0|beq L1|li r3,1|L1:|use (r3)|blr", "addi. r3,r22,-17|beq L1|li r3,1|L1:|blr"},
    {"move and compare become or.", "mr r3,r4|cmpwi r4,0|beq L1|li r3,1|L1:|use (r3)|blr",
     "or. r3,r4,r4|beq L1|li r3,1|L1:|blr"},
    {"branch over one move", "cmpwi r4,0|beq L1|mr r3,r5|L1:|use (r3)|blr", "cmpwi r4,0|iseleq r3,r3,r5|blr"},
    {"branch over one move, inverted", "cmpwi r4,0|bge L1|mr r3,r5|L1:|use (r3)|blr",
     "cmpwi r4,0|isellt r3,r5,r3|blr"},
    {"la folded into the load", "la r3,_x(r13)|lwz r4,0(r3)|mr r3,r4|use (r3)|blr", "lwz r3,_x(r13)|blr"},
    {"not and and make andc", "not r5,r4|and r3,r5|use (r3)|blr", "andc r3,r3,r4|blr"},
    {"not and three-operand or make orc", "not r5,r4|or r3,r6,r5|use (r3)|blr", "orc r3,r6,r4|blr"},
    {"extension of a copy", "mr r5,r3|extsb r3,r5|use (r3)|blr", "extsb r3|blr"},
    {"two constants in a diamond", "cmpwi r4,0|beq L2|li r3,7|b L3|L2:|li r3,0|L3:|use (r3)|blr",
     "cmpwi r4,0|li r3,7|iseleq r3,r0,r3|blr"},
    {"invariant addition out of a counted loop",
     "li r11,3|mtctr r11|L2:|add r5,r6,r7|stwx r5,r8,r9|addi r9,4|bdnz L2|mr r3,r9|use (r3)|blr",
     "li r11,3|mtctr r11|add r5,r6,r7|L2:|stwx r5,r8,r9|addi r9,4|bdnz L2|mr r3,r9|blr"},
    {"small-data variable used often",
     "lwz r8,_s(r13)|lwz r9,_s+4(r13)|add r8,r9|stw r8,_s+8(r13)|stw r9,_s+12(r13)|use ()|blr",
     "la r3,_s(r13)|lwz r8,0(r3)|lwz r9,4(r3)|add r8,r9|stw r8,8(r3)|stw r9,12(r3)|blr"},
    {"shift of a zero extension", "extzb r3|slwi r3,2|use (r3)|blr", "rlwinm r3,r3,2,22,29|blr"},
    {"right shift of an extracted field", "extzh r3,r4|srwi r3,4|use (r3)|blr", "extrwi r3,r4,12,16|blr"},
    {"right shift past the field", "extzb r3|srwi r3,8|use (r3)|blr", "li r3,0|blr"},
    {"right shift then zero extension", "srwi r3,r4,3|extzb r3|use (r3)|blr", "extrwi r3,r4,8,21|blr"},
    {"two bit sets", "bseti r3,30|bseti r3,31|use (r3)|blr", "ori r3,3|blr"},
    {"zero extension and an and", "extzb r3,r4|andi r3,0x1F|use (r3)|blr", "andi r3,r4,31|blr"},
    {"run of accesses rebased",
     "la r3,_s(r13)|lwz r4,64(r3)|lwz r5,68(r3)|lwz r6,72(r3)|add r4,r5|add r4,r6|mr r3,r4|use (r3)|blr",
     "la r3,_s+64(r13)|lwz r4,0(r3)|lwz r5,4(r3)|lwz r6,8(r3)|add r4,r5|add r4,r6|mr r3,r4|blr"},
    {"pointer and value loaded again",
     "lwz r3,_p(r13)|lwz r3,0(r3)|add r4,r3,r5|lwz r3,_p(r13)|lwz r3,0(r3)|add r3,r4|use (r3)|blr",
     "lwz r3,_p(r13)|lwz r3,0(r3)|add r4,r3,r5|add r3,r4|blr"},
    {"same last instruction on both ways into a join",
     "cmpwi r4,0|beq L2|li r5,1|stw r5,_x(r13)|b L3|L2:|li r5,2|stw r5,_x(r13)|L3:|mr r3,r4|use (r3)|blr",
     "cmpwi r4,0|beq L2|li r5,1|b L3|L2:|li r5,2|L3:|stw r5,_x(r13)|mr r3,r4|blr"},
    {"addition and access make the update form", "addi r3,64|lwz r4,0(r3)|add r3,r4|use (r3)|blr",
     "lwzu r4,64(r3)|add r3,r4|blr"},
    {"constant built twice", "lis r3,1|ori r3,r3,2|stw r3,_x(r13)|lis r3,1|ori r3,r3,2|stw r3,_y(r13)|use (r3)|blr",
     "lis r3,1|ori r3,r3,2|stw r3,_x(r13)|stw r3,_y(r13)|blr"},
    {"load and its use pulled apart",
     "lwz r3,0(r4)|lwz r5,0(r3)|addi r6,r6,1|stw r6,_y(r13)|stw r5,_x(r13)|blr",
     "lwz r3,0(r4)|addi r6,r6,1|lwz r5,0(r3)|stw r6,_y(r13)|stw r5,_x(r13)|blr"},
    {"indexed load and the add of its registers", "lwzx r3,r4,r5|add r4,r5|use (r3,r4)|blr",
     "add r4,r5|lwz r3,0(r4)|blr"},
    {"exchange through r0", "li r5,7|mr r0,r5|mr r5,r3|mr r3,r0|use (r3,r5)|blr", "mr r5,r3|li r3,7|blr"},
    {"insertion into a field inserted again", "insrwi r3,r4,8,16|insrwi r3,r5,8,16|use (r3)|blr",
     "insrwi r3,r5,8,16|blr"},
    {"unsigned compare with 0 tested for equality", "lwz r3,0(r4)|cmplwi r3,0|beq L1|li r3,1|L1:|use (r3)|blr",
     "lwz r3,0(r4)|cmpwi r3,0|beq L1|li r3,1|L1:|blr"},
    {"save and restore of an unchanged register",
     "stwu r1,-16(r1)|stw r31,12(r1)|cmpwi r3,0|beq L1|bl _g|L1:|lwz r31,12(r1)|addi r1,16|use (r3,r31)|blr",
     "stwu r1,-16(r1)|cmpwi r3,0|beq L1|bl _g|L1:|addi r1,16|blr"},
    {"bit test of an extended register", "extzb r3,r4|btsti r3,28|beq L1|li r5,1|L1:|use (r5)|blr",
     "btsti r4,28|beq L1|li r5,1|L1:|blr"},
    {"bit test after a one-operand extension", "extsh r3|btsti r3,20|beq L1|li r5,1|L1:|use (r5)|blr",
     "btsti r3,20|beq L1|li r5,1|L1:|blr"},
    {"jump to a return", "cmpwi r3,0|beq L1|stw r4,_x(r13)|b L2|L1:|stw r5,_x(r13)|L2:|blr",
     "cmpwi r3,0|beq L1|stw r4,_x(r13)|blr|L1:|stw r5,_x(r13)|blr"},
    {"and-immediate compared with its bit", "andi r3,8|cmpwi r3,8|beq L1|li r4,1|L1:|use (r3,r4)|blr",
     "andi. r3,8|bne L1|li r4,1|L1:|blr"},
    {"and of two zero extensions", "extzb r3|extzh r4|and r3,r4|use (r3)|blr", "extzb r3|and r3,r4|blr"},
    {"frame stores nobody reads before the return",
     "subi r1,16|stw r3,8(r1)|stw r4,12(r1)|add r3,r4|use (r3)|addi r1,16|blr", "add r3,r4|blr"},
    {"last call becomes a jump",
     "mflr r0|stwu r0,-8(r1)|addi r3,1|use (r3)|bl _g|use (r3)|lwz r0,0(r1)|mtlr r0|addi r1,8|blr", "addi r3,1|b _g"},
    {"frame push folded into the save of the return address",
     "subi r1,8|mflr r0|stw r0,0(r1)|bl _g|lwz r0,0(r1)|mtlr r0|lwz r3,_x(r13)|use (r3)|addi r1,8|blr",
     "mflr r0|stwu r0,-8(r1)|bl _g|lwz r0,0(r1)|mtlr r0|lwz r3,_x(r13)|addi r1,8|blr"},
    {"extension of a source the result's extension covers", "extsb r4|add r3,r4|extsb r3|use (r3)|blr",
     "add r3,r4|extsb r3|blr"},
    {"both ways out of a branch begin alike",
     "cmpwi r4,0|beq L1|lwz r5,_x(r13)|addi r3,r5,1|b L2|L1:|lwz r5,_x(r13)|addi r3,r5,2|L2:|use (r3)|blr",
     "cmpwi r4,0|lwz r5,_x(r13)|beq L1|addi r3,r5,1|blr|L1:|addi r3,r5,2|blr"},
    {"extracted bit compared with 0", "extrwi r5,r4,1,28|cmpi r5,0|beq L1|li r3,1|L1:|use (r3)|blr",
     "btsti r4,28|beq L1|li r3,1|L1:|blr"},
    {"extracted bit into a move's target", "extrwi r5,r4,1,28|mr r3,r5|use (r3)|blr", "extrwi r3,r4,1,28|blr"},
    {"zero extension after a bit set in the low byte", "lbz r3,0(r4)|bseti r3,30|extzb r3|use (r3)|blr",
     "lbz r3,0(r4)|bseti r3,30|blr"},
    {"zero extension after a small or", "lhz r3,0(r4)|ori r3,0x100|extzh r3|use (r3)|blr", "lhz r3,0(r4)|ori r3,0x100|blr"},
    {"constant every way in already holds", "li r3,0|L1:|stw r3,0(r4)|addi r4,4|li r3,0|cmpw r4,r5|blt L1|use (r3)|blr",
     "li r3,0|L1:|stw r3,0(r4)|addi r4,4|cmpw r4,r5|blt L1|blr"},
    {"load every way in already made",
     "lwz r3,0(r4)|stw r3,12(r1)|cmpwi r5,0|beq L1|li r6,1|stw r6,8(r1)|L1:|lwz r3,0(r4)|use (r3)|blr",
     "lwz r3,0(r4)|stw r3,12(r1)|cmpwi r5,0|beq L1|li r6,1|stw r6,8(r1)|L1:|blr"},
    {"address built twice", "la r3,_x(r13)|lwz r5,4(r3)|stw r5,_y(r13)|la r4,_x(r13)|stw r6,8(r4)|use (r3,r4)|blr",
     "la r4,_x(r13)|mr r3,r4|lwz r5,4(r3)|stw r5,_y(r13)|stw r6,8(r4)|blr"},
    {"volatile load read once by a store", "lwz r5,0(r4)|VL:|stw r5,_x(r13)|blr", "lwz r0,0(r4)|stw r0,_x(r13)|blr"},
    {"invariant load out of a counted loop, and its store after it",
     "li r11,3|mtctr r11|L2:|lwz r5,_k(r13)|add r6,r5|stw r6,_y(r13)|bdnz L2|mr r3,r6|use (r3)|blr",
     "li r11,3|mtctr r11|lwz r5,_k(r13)|L2:|add r6,r5|bdnz L2|stw r6,_y(r13)|mr r3,r6|blr"},
    {"small-data variable loaded once at the entry",
     "lwz r8,_v(r13)|cmpwi r3,0|beq L1|add r3,r8|L1:|lwz r9,_v(r13)|add r3,r9|use (r3)|blr",
     "lwz r4,_v(r13)|mr r8,r4|cmpwi r3,0|beq L1|add r3,r8|L1:|add r3,r4|blr"},
    {"selected bit", "andi r3,8|cmpwi r3,8|li r4,1|li r5,0|iseleq r4,r4,r5|use (r4)|blr", "extrwi r4,r3,1,28|blr"},
    {"selected inverse bit", "andi r3,8|cmpwi r3,8|li r4,1|iseleq r4,r0,r4|use (r4)|blr",
     "extrwi r4,r3,1,28|xori r4,1|blr"},
    {"value computed again by the same two lines",
     "lwz r4,8(r8)|slwi r4,3|add r5,r4,r6|lwz r4,8(r8)|slwi r4,3|add r3,r4,r5|use (r3)|blr",
     "lwz r4,8(r8)|slwi r4,3|add r5,r4,r6|add r3,r4,r5|blr"},
    {"address used only to load one word",
     "la r3,_x(r13)|cmpwi r5,0|beq L1|lwz r4,0(r3)|stw r4,_y(r13)|L1:|lwz r6,0(r3)|stw r6,_z(r13)|blr",
     "lwz r3,_x(r13)|cmpwi r5,0|beq L1|mr r4,r3|stw r4,_y(r13)|L1:|mr r6,r3|stw r6,_z(r13)|blr"},
    {"load at a label reached by one jump",
     "cmpwi r5,0|beq L2|stw r3,8(r4)|b L1|L2:|li r3,0|stw r3,8(r4)|blr|L1:|lwz r3,8(r4)|add r3,r6|use (r3)|blr",
     "cmpwi r5,0|beq L2|stw r3,8(r4)|b L1|L2:|li r3,0|stw r3,8(r4)|blr|L1:|add r3,r6|blr"},
    {"load after a branch of what was stored before it",
     "sth r3,_h(r13)|cmpwi r4,0|beq L1|lha r5,_h(r13)|add r3,r5|L1:|use (r3)|blr",
     "sth r3,_h(r13)|cmpwi r4,0|beq L1|extsh r5,r3|add r3,r5|L1:|blr"},
    {"two ands with constants", "li r4,12|and r3,r4|li r4,10|and r3,r4|use (r3)|blr", "li r4,8|and r3,r4|blr"},
    {"constant at a join that the branch brings",
     "li r5,7|stw r5,_z(r13)|cmpwi r4,0|beq L1|li r5,1|stw r5,_y(r13)|L1:|li r5,7|add r3,r5|use (r3)|blr",
     "li r5,7|stw r5,_z(r13)|cmpwi r4,0|beq L1|li r5,1|stw r5,_y(r13)|li r5,7|L1:|add r3,r5|blr"},
    {"stored value kept in a free register",
     "lwz r3,0(r9)|stw r3,8(r1)|li r3,1|stw r3,_y(r13)|lwz r3,8(r1)|add r3,r8|use (r3)|blr",
     "lwz r4,0(r9)|stw r4,8(r1)|li r3,1|stw r3,_y(r13)|mr r3,r4|add r3,r8|blr"},
    {"and of a byte load and a zero extension", "lbz r3,0(r5)|extzh r4,r6|and r3,r4|use (r3)|blr",
     "lbz r3,0(r5)|and r3,r6|blr"},
};

TEST_F(Rewrites, BeforeAndAfter) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Optimized r = optimize(unit(lines(c.before)));
        EXPECT_EQ(r.result.status, 0) << r.result.err;
        EXPECT_EQ(r.out, lines(c.after));
        EXPECT_TRUE(r.verdict.ok) << r.verdict.message;
        EXPECT_GT(r.changes.size(), 1u);
    }
}

// Code that a literal reading of the rules would break: each must come out
// as it went in (or changed only where the change is right).
const Case kKept[] = {
    // the source of a folded addition changes in between
    {"addi source rewritten", "addi r3,r4,4|li r4,0|addi r3,8|use (r3,r4)|blr",
     "addi r3,r4,4|li r4,0|addi r3,8|blr"},
    // the sum does not fit the immediate
    {"sum too large", "addi r3,r3,0x7000|addi r3,0x1123|use (r3)|blr", "addi r3,r3,0x7000|addi r3,0x1123|blr"},
    // the source is stored between the add and the move
    {"target of the move read on the way", "add r5,r3,r4|stw r6,0(r7)|mr r6,r5|use (r6)|blr",
     "add r5,r3,r4|stw r6,0(r7)|mr r6,r5|blr"},
    // the extension's register is stored before the extension
    {"lhz read before extsh", "lhz r3,0(r4)|stw r3,_x(r13)|extsh r3|use (r3)|blr",
     "lhz r3,0(r4)|stw r3,_x(r13)|extsh r3|blr"},
    // a store through a pointer may change the place that is loaded again
    {"reload after a store that may alias", "lwz r5,0(r4)|stw r6,0(r7)|lwz r8,0(r4)|add r3,r5,r8|use (r3)|blr",
     "lwz r5,0(r4)|stw r6,0(r7)|lwz r8,0(r4)|add r3,r5,r8|blr"},
    {"x = p->a; p->a = 5; y = p->a", "lwz r5,0(r4)|li r6,5|stw r6,0(r4)|lwz r7,0(r4)|add r3,r5,r7|use (r3)|blr",
     "lwz r5,0(r4)|li r6,5|stw r6,0(r4)|add r3,r5,r6|blr"},
    // a store of the stored register itself must see the new value
    {"store of the register being added to", "addi r3,4|stw r3,0(r3)|use (r3)|blr", "addi r3,4|stw r3,0(r3)|blr"},
    // a record form whose cr0 is read keeps its dot
    {"record form kept", "andi. r3,255|beq L1|li r4,1|L1:|use (r3,r4)|blr", "andi. r3,255|beq L1|li r4,1|L1:|blr"},
    // a store between two stores may read the first
    {"store read on the way", "stw r3,0(r4)|lwz r5,0(r6)|stw r7,0(r4)|mr r3,r5|use (r3)|blr",
     "stw r3,0(r4)|lwz r5,0(r6)|stw r7,0(r4)|mr r3,r5|blr"},
    // a volatile access is never moved past
    {"load use next to a barrier", "lwz r3,0(r4)|lwz r5,0(r3)|msync|stw r5,_x(r13)|blr",
     "lwz r3,0(r4)|lwz r5,0(r3)|msync|stw r5,_x(r13)|blr"},
    // an unsigned compare with 0 is no signed record form
    {"unsigned compare kept", "add r3,r4,r5|cmplwi r3,0|bgt L1|li r3,1|L1:|use (r3)|blr",
     "add r3,r4,r5|cmplwi r3,0|bgt L1|li r3,1|L1:|blr"},
    // another CR field is named
    {"compare into cr1 kept", "add r3,r4,r5|cmpwi cr1,r3,0|beq cr1,L1|li r3,1|L1:|use (r3)|blr",
     "add r3,r4,r5|cmpwi cr1,r3,0|beq cr1,L1|li r3,1|L1:|blr"},
    // a bare symbol has no displacement form
    {"la of a bare symbol kept", "la r3,_x|lwz r4,0(r3)|mr r3,r4|use (r3)|blr", "la r3,_x|lwz r3,0(r3)|blr"},
    // the record form of not would set cr0 from the wrong value
    {"not. kept", "not. r3,r4|and r3,r5|beq L1|li r3,1|L1:|use (r3)|blr",
     "not. r3,r4|and r3,r5|beq L1|li r3,1|L1:|blr"},
    // a small-data variable used three times, or in a function with calls
    {"three uses", "lwz r8,_s(r13)|lwz r9,_s+4(r13)|add r8,r9|stw r8,_s+8(r13)|use ()|blr",
     "lwz r8,_s(r13)|lwz r9,_s+4(r13)|add r8,r9|stw r8,_s+8(r13)|blr"},
    // a register the function returns is not free
    {"returned register", "lwz r8,_s(r13)|lwz r9,_s+4(r13)|add r8,r9|stw r8,_s+8(r13)|stw r9,_s+12(r13)|use (r3)|blr",
     "la r4,_s(r13)|lwz r8,0(r4)|lwz r9,4(r4)|add r8,r9|stw r8,8(r4)|stw r9,12(r4)|blr"},
    {"function with a call",
     "lwz r8,_s(r13)|lwz r9,_s+4(r13)|stw r8,_s+8(r13)|stw r9,_s+12(r13)|use (r3)|bl _g|use ()|blr",
     "lwz r8,_s(r13)|lwz r9,_s+4(r13)|stw r8,_s+8(r13)|stw r9,_s+12(r13)|bl _g|blr"},
    // the rebased register is returned
    {"returned base register", "la r3,_s(r13)|lwz r4,64(r3)|lwz r5,68(r3)|stw r4,72(r3)|stw r5,76(r3)|use (r3)|blr",
     "la r3,_s(r13)|lwz r4,64(r3)|lwz r5,68(r3)|stw r4,72(r3)|stw r5,76(r3)|blr"},
    // x = p->a; p->a = 5; y = p->a through a pointer loaded twice
    {"pointer reload after a store", "lwz r3,_p(r13)|lwz r3,0(r3)|mr r6,r3|lwz r4,_p(r13)|li r5,5|stw r5,0(r4)|"
     "lwz r3,_p(r13)|lwz r3,0(r3)|add r3,r6|use (r3)|blr",
     "lwz r3,_p(r13)|lwz r3,0(r3)|mr r6,r3|lwz r4,_p(r13)|li r5,5|stw r5,0(r4)|lwz r3,_p(r13)|lwz r3,0(r3)|add r3,r6|"
     "blr"},
    // the one-operand extension takes short registers only
    {"extension of a long register", "extzb r8,r8|mr r3,r8|use (r3)|blr", "extzb r8,r8|mr r3,r8|blr"},
    // the add's target is stored between the load and the add
    {"indexed load, add target read on the way", "lwzx r3,r4,r5|stw r4,_q(r13)|add r4,r5|use (r3,r4)|blr",
     "lwzx r3,r4,r5|stw r4,_q(r13)|add r4,r5|blr"},
    // the last writer of the exchanged register reads the other one
    {"exchange after a writer that reads", "add r5,r3,r5|mr r0,r5|mr r5,r3|mr r3,r0|use (r3,r5)|blr",
     "add r5,r3,r5|mr r0,r5|mr r5,r3|mr r3,r0|blr"},
    // one reader of an unsigned compare asks for more than equality
    {"unsigned compare with a later ordered test", "lwz r3,0(r4)|cmplwi r3,0|beq L1|bgt L2|li r3,1|L1:|li r3,2|L2:|use (r3)|blr",
     "lwz r3,0(r4)|cmplwi r3,0|beq L1|bgt L2|L1:|li r3,2|L2:|blr"},
    // the slot is written between the save and the restore, or read after it
    {"slot written before the restore", "stw r31,12(r1)|stw r4,12(r1)|lwz r31,12(r1)|use (r31)|blr",
     "stw r4,12(r1)|mr r31,r4|blr"},
    {"slot read after the restore", "stw r31,12(r1)|lwz r31,12(r1)|lwz r3,12(r1)|use (r3,r31)|blr",
     "stw r31,12(r1)|mr r3,r31|blr"},
    // one way into the restore passes no save
    {"restore reached without the save", "cmpwi r3,0|beq L1|stw r31,12(r1)|L1:|lwz r31,12(r1)|use (r31)|blr",
     "cmpwi r3,0|beq L1|stw r31,12(r1)|L1:|lwz r31,12(r1)|blr"},
    // the tested bit is one the extension set
    {"bit test of an extended bit", "extsb r3|btsti r3,20|beq L1|li r5,1|L1:|use (r5)|blr",
     "extsb r3|btsti r3,20|beq L1|li r5,1|L1:|blr"},
    // two bits kept: equal to the mask is not the same as nonzero
    {"and-immediate of two bits compared", "andi r3,12|cmpwi r3,12|beq L1|li r4,1|L1:|use (r3,r4)|blr",
     "andi r3,12|cmpwi r3,12|beq L1|li r4,1|L1:|blr"},
    // the callee reads an argument from the caller's frame
    {"call with an argument on the stack",
     "mflr r0|stwu r0,-16(r1)|li r4,5|stw r4,8(r1)|bl _g|lwz r0,0(r1)|mtlr r0|addi r1,16|blr",
     "mflr r0|stwu r0,-16(r1)|li r4,5|stw r4,8(r1)|bl _g|lwz r0,0(r1)|mtlr r0|addi r1,16|blr"},
    // another way reaches the return through a label after the call
    {"call before a label", "mflr r0|stwu r0,-8(r1)|cmpwi r3,0|beq L1|bl _g|L1:|lwz r0,0(r1)|mtlr r0|addi r1,8|blr",
     "mflr r0|stwu r0,-8(r1)|cmpwi r3,0|beq L1|bl _g|L1:|lwz r0,0(r1)|mtlr r0|addi r1,8|blr"},
    // a store above the frame is the caller's, and one read on a branch stays
    {"store above the frame", "subi r1,16|stw r3,16(r1)|addi r1,16|blr", "stw r3,0(r1)|blr"},
    {"frame store read on one way",
     "subi r1,16|stw r3,8(r1)|li r3,0|cmpwi r4,0|beq L1|lwz r3,8(r1)|L1:|use (r3)|addi r1,16|blr",
     "subi r1,16|stw r3,8(r1)|li r3,0|cmpwi r4,0|beq L1|lwz r3,8(r1)|L1:|addi r1,16|blr"},
    // the whole result is read besides its extension, or the source's extension is narrower
    {"result read unextended", "extsb r4|add r3,r4|extsb r5,r3|use (r3,r5)|blr", "extsb r4|add r3,r4|extsb r5,r3|blr"},
    {"narrower source extension", "extsb r4|add r3,r4|extsh r3|use (r3)|blr", "extsb r4|add r3,r4|extsh r3|blr"},
    // the common first line sets the condition the branch tests
    {"common line sets cr0",
     "cmpwi r4,0|beq L1|andi. r5,r6,1|stw r5,_x(r13)|b L2|L1:|andi. r5,r6,1|stw r5,_y(r13)|L2:|blr",
     "cmpwi r4,0|beq L1|andi. r5,r6,1|stw r5,_x(r13)|blr|L1:|andi. r5,r6,1|stw r5,_y(r13)|blr"},
    // an ordered test of the extracted bit, and bits set above the byte
    {"extracted bit in a signed test", "extrwi r5,r4,1,28|cmpi r5,0|bgt L1|li r3,1|L1:|use (r3)|blr",
     "extrwi r5,r4,1,28|cmpi r5,0|bgt L1|li r3,1|L1:|blr"},
    {"bit set above the byte", "lbz r3,0(r4)|bseti r3,20|extzb r3|use (r3)|blr", "lbz r3,0(r4)|bseti r3,20|extzb r3|blr"},
    {"or above the byte", "lbz r3,0(r4)|ori r3,0x100|extzb r3|use (r3)|blr", "lbz r3,0(r4)|ori r3,0x100|extzb r3|blr"},
    // a store on one way may change the place loaded again: only that way loads again
    {"reload after a store on one way",
     "lwz r3,0(r4)|stw r3,12(r1)|cmpwi r5,0|beq L1|li r6,1|stw r6,_x(r13)|L1:|lwz r3,0(r4)|use (r3)|blr",
     "lwz r3,0(r4)|stw r3,12(r1)|cmpwi r5,0|beq L1|li r6,1|stw r6,_x(r13)|lwz r3,0(r4)|L1:|blr"},
    // a store of the loop may change what the load reads
    {"load in a loop with a store through a pointer",
     "li r11,3|mtctr r11|L2:|lwz r5,_k(r13)|add r6,r5|stw r6,0(r8)|bdnz L2|mr r3,r6|use (r3)|blr",
     "li r11,3|mtctr r11|L2:|lwz r5,_k(r13)|add r6,r5|stw r6,0(r8)|bdnz L2|mr r3,r6|blr"},
    // a load of the loop may read the stored place
    {"store in a loop that reads through a pointer",
     "li r11,3|mtctr r11|L2:|lwzx r5,r8,r9|add r6,r5|stw r6,_y(r13)|addi r9,4|bdnz L2|mr r3,r6|use (r3)|blr",
     "li r11,3|mtctr r11|L2:|lwzx r5,r8,r9|add r6,r5|stw r6,_y(r13)|addi r9,4|bdnz L2|mr r3,r6|blr"},
    // a store through a pointer may change the variable between the loads
    {"small-data variable stored through a pointer",
     "lwz r8,_v(r13)|cmpwi r3,0|beq L1|add r3,r8|L1:|stw r3,0(r6)|lwz r9,_v(r13)|add r3,r9|use (r3)|blr",
     "lwz r8,_v(r13)|cmpwi r3,0|beq L1|add r3,r8|L1:|stw r3,0(r6)|lwz r9,_v(r13)|add r3,r9|blr"},
    // the masked value is also used
    {"selected bit, masked value kept", "andi r3,8|cmpwi r3,8|li r4,1|iseleq r4,r0,r4|use (r3,r4)|blr",
     "andi r3,8|cmpwi r3,8|li r4,1|iseleq r4,r0,r4|blr"},
    // a store between the pairs may change the loaded value
    {"value computed again after a store",
     "lwz r4,8(r8)|slwi r4,3|add r5,r4,r6|stw r6,0(r7)|lwz r4,8(r8)|slwi r4,3|add r3,r4,r5|use (r3)|blr",
     "lwz r4,8(r8)|slwi r4,3|add r5,r4,r6|stw r6,0(r7)|lwz r4,8(r8)|slwi r4,3|add r3,r4,r5|blr"},
    // a store through a pointer may change the word between the loads
    {"address used to load one word, store between",
     "la r3,_x(r13)|lwz r4,0(r3)|stw r4,0(r6)|cmpwi r4,0|beq L1|lwz r5,0(r3)|add r4,r5|L1:|stw r4,_y(r13)|blr",
     "la r3,_x(r13)|lwz r4,0(r3)|stw r4,0(r6)|cmpwi r4,0|beq L1|lwz r5,0(r3)|add r4,r5|L1:|stw r4,_y(r13)|blr"},
    // the label is also fallen into
    {"load at a label also fallen into",
     "cmpwi r5,0|beq L1|stw r3,8(r4)|b L1|L2:|li r3,0|stw r3,8(r4)|L1:|lwz r3,8(r4)|add r3,r6|use (r3)|blr",
     "cmpwi r5,0|beq L1|stw r3,8(r4)|L1:|lwz r3,8(r4)|add r3,r6|blr"},
    // a store through a pointer after the branch
    {"load after a branch and a store through a pointer",
     "sth r3,_h(r13)|cmpwi r4,0|beq L1|stw r6,0(r7)|lha r5,_h(r13)|add r3,r5|L1:|use (r3)|blr",
     "sth r3,_h(r13)|cmpwi r4,0|beq L1|stw r6,0(r7)|lha r5,_h(r13)|add r3,r5|L1:|blr"},
    // the branch to the join does not bring the value
    {"constant at a join the branch does not bring",
     "li r5,6|stw r5,_z(r13)|cmpwi r4,0|beq L1|li r5,1|stw r5,_y(r13)|L1:|li r5,7|add r3,r5|use (r3)|blr",
     "li r5,6|stw r5,_z(r13)|cmpwi r4,0|beq L1|li r5,1|stw r5,_y(r13)|L1:|li r5,7|add r3,r5|blr"},
    // every register that could keep the value is in use
    {"stored value with no free register",
     "lwz r3,0(r9)|stw r3,8(r1)|li r3,1|stw r3,_y(r13)|lwz r3,8(r1)|add r3,r8|use (r3,r4,r5,r6,r7)|blr",
     "lwz r3,0(r9)|stw r3,8(r1)|li r3,1|stw r3,_y(r13)|lwz r3,8(r1)|add r3,r8|blr"},
    // the wider extension is read on the way
    {"and of two extensions, one read between", "extzb r3|extzh r4|stw r4,_x(r13)|and r3,r4|use (r3)|blr",
     "extzb r3|extzh r4|stw r4,_x(r13)|and r3,r4|blr"},
    // the extracted bit is added, not moved: a two-operand add is no move
    {"extracted bit added", "extrwi r3,r0,3,29|extrwi r4,r0,1,23|add r3,r4|use (r3)|blr",
     "extrwi r3,r0,3,29|extrwi r4,r0,1,23|add r3,r4|blr"},
};

TEST_F(Rewrites, FaultCasesStayRight) {
    for (const Case& c : kKept) {
        SCOPED_TRACE(c.name);
        Optimized r = optimize(unit(lines(c.before)));
        EXPECT_EQ(r.result.status, 0) << r.result.err;
        EXPECT_EQ(r.out, lines(c.after));
        EXPECT_TRUE(r.verdict.ok) << r.verdict.message;
    }
}

TEST_F(Rewrites, CommentsStatisticsAndSwitches) {
    std::string text = unit(lines("li r3,5|li r3,6|use (r3)|blr"));
    Optimized r = optimize(text, {"-c", "-v"});
    EXPECT_NE(r.out.find(";***** li r3,5 ***** M0\n"), std::string::npos) << r.out;
    EXPECT_NE(r.result.err.find("opt: 1 destructions, 0 modifications"), std::string::npos)
        << r.result.out << r.result.err;
    r = optimize(text, {"-dm0"});
    EXPECT_EQ(r.out, lines("li r3,5|li r3,6|blr"));

    // without the pairing pass an addition waits behind the load that
    // uses the load before it
    r = optimize(unit(lines("lwz r5,0(r3)|addi r3,r3,4|lwz r6,0(r5)|add r3,r6|use (r3)|blr")), {"-dp2"});
    EXPECT_EQ(r.out, lines("lwz r5,0(r3)|lwz r6,0(r5)|addi r3,r3,4|add r3,r6|blr"));
    EXPECT_TRUE(r.verdict.ok) << r.verdict.message;

    // -x keeps moves into the variable registers of the function
    std::string vars = "_f:\nFL:\n\t.dentry\t_f:0.0.0\n\tmr\tr14,r3\n\tmr\tr14,r4\n\tmr\tr3,r14\n\tuse\t(r3)\n\tblr\nFL:\n";
    r = optimize(vars, {"-x"});
    EXPECT_NE(r.out.find("\tmr\tr14,r4\n"), std::string::npos) << r.out;
    EXPECT_TRUE(r.verdict.ok) << r.verdict.message;
}

TEST_F(Rewrites, DeferredWorkWaitsForTheHandlers) {
    // andi r3,255 becomes extzb only once everything else is done: the
    // dead li goes first.
    Optimized r = optimize(unit(lines("li r4,1|andi r3,255|li r4,2|use (r3,r4)|blr")));
    ASSERT_GE(r.changes.size(), 3u);
    EXPECT_EQ(r.changes[1].pass, "M0");
    EXPECT_EQ(r.changes[2].pass, "A0");
    EXPECT_EQ(r.out, lines("extzb r3|li r4,2|blr"));
}

// ---- generated functions ----

// Generator-style functions: straight blocks, diamonds, counted loops,
// calls and helpers, accesses through r1, r13 and a few pointers,
// extensions and compares.
class UnitMaker {
public:
    explicit UnitMaker(uint32_t seed) : rng_(seed) {}

    std::string make() {
        body_.clear();
        labels_ = 1;
        int blocks = pick(2, 5);
        for (int b = 0; b < blocks; ++b) {
            switch (pick(0, 4)) {
                case 0: diamond(); break;
                case 1: loop(); break;
                case 2:
                    straight(pick(1, 3));
                    call();
                    break;
                default: straight(pick(3, 8)); break;
            }
        }
        emit("mr r3," + reg());
        emit("use (r3)");
        emit("blr");
        return "_f:\nFL:\n" + body_ + "FL:\n";
    }

private:
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    std::string reg() { return "r" + std::to_string(pick(3, 8)); }
    std::string ptr() { return pick(0, 1) ? "r9" : "r10"; }
    std::string label() { return "L" + std::to_string(++labels_); }
    void emit(const std::string& l) { body_ += lines(l); }

    std::string address(int width) {
        int scale = width;
        switch (pick(0, 2)) {
            case 0: return std::to_string(8 + scale * pick(0, 3)) + "(r1)";
            case 1: return pick(0, 1) ? "_x(r13)" : "_y+" + std::to_string(scale * pick(0, 2)) + "(r13)";
            default: return std::to_string(scale * pick(0, 3)) + "(" + ptr() + ")";
        }
    }

    void straight(int n) {
        static const char* const loads[] = {"lwz", "lhz", "lha", "lbz"};
        static const char* const stores[] = {"stw", "sth", "stb"};
        static const char* const ops[] = {"add", "sub", "and", "or", "xor", "mullw"};
        static const char* const exts[] = {"extzb", "extzh", "extsb", "extsh"};
        for (int k = 0; k < n; ++k) {
            std::string r = reg();
            switch (pick(0, 17)) {
                case 0: emit("li " + r + "," + std::to_string(pick(-200, 300))); break;
                case 1: {
                    int i = pick(0, 3);
                    emit(std::string(loads[i]) + " " + r + "," + address(i == 0 ? 4 : i == 3 ? 1 : 2));
                    break;
                }
                case 2: {
                    int i = pick(0, 2);
                    emit(std::string(stores[i]) + " " + r + "," + address(i == 0 ? 4 : i == 1 ? 2 : 1));
                    break;
                }
                case 3: emit(std::string(ops[pick(0, 5)]) + " " + r + "," + reg() + "," + reg()); break;
                case 4: emit(std::string(ops[pick(0, 4)]) + " " + r + "," + reg()); break;
                case 5: emit(std::string(pick(0, 1) ? "addi " : "subi ") + r + "," + std::to_string(pick(-8, 40))); break;
                case 6: emit("addi " + r + "," + reg() + "," + std::to_string(pick(-4, 20))); break;
                case 7: emit("mr " + r + "," + reg()); break;
                case 8:
                    // the one-operand form takes short registers only
                    if (r == "r8")
                        emit(std::string(exts[pick(0, 3)]) + " " + r + "," + reg());
                    else
                        emit(std::string(exts[pick(0, 3)]) + " " + r);
                    break;
                case 9: emit(std::string(pick(0, 1) ? "andi " : "ori ") + r + "," + std::to_string(pick(0, 3) == 0 ? 255 : pick(0, 7))); break;
                case 10: emit("cmpwi " + r + "," + std::to_string(pick(0, 2))); break;
                case 11: emit("addi " + ptr() + "," + std::to_string(4 * pick(1, 3))); break;
                case 12: emit("la " + ptr() + ",_y+" + std::to_string(4 * pick(0, 2)) + "(r13)"); break;
                case 13: emit("not " + r + "," + reg()); break;
                case 14: emit(std::string(pick(0, 1) ? "slwi " : "srwi ") + r + "," + std::to_string(pick(1, 12))); break;
                case 15: emit("bseti " + std::string(pick(0, 1) ? "r3," : "r4,") + std::to_string(pick(0, 31))); break;
                case 16: emit("lis " + r + "," + std::to_string(pick(1, 2)) + "|ori " + r + "," + r + ",5"); break;
                default: emit("lwz " + ptr() + ",_p(r13)"); break;
            }
        }
    }

    void diamond() {
        std::string other = label(), join = label();
        emit("cmpwi " + reg() + "," + std::to_string(pick(0, 3)));
        static const char* const conds[] = {"beq", "bne", "blt", "bge", "bgt", "ble"};
        emit(std::string(conds[pick(0, 5)]) + " " + other);
        straight(pick(1, 3));
        emit("b " + join);
        emit(other + ":");
        straight(pick(0, 3));
        emit(join + ":");
    }

    void loop() {
        std::string top = label();
        emit("li r11," + std::to_string(pick(1, 4)));
        emit("mtctr r11");
        emit(top + ":");
        straight(pick(1, 4));
        emit("bdnz " + top);
    }

    void call() {
        if (pick(0, 1)) {
            emit("use (r3,r4)");
            emit("bl _g");
        } else {
            emit("use (r3,r4)");
            emit("bl c_imul");
        }
    }

    std::mt19937 rng_;
    std::string body_;
    int labels_ = 1;
};

// Forty shards of three functions each, so that the shards run in parallel.
class Generated : public Rewrites, public ::testing::WithParamInterface<int> {};

TEST_P(Generated, FunctionsKeepTheirMeaning) {
    const int units = 3;
    optcheck::Settings two;
    two.seeds = 2;
    int changed = 0;
    for (int k = 0; k < units; ++k) {
        uint32_t seed = 1000u + static_cast<uint32_t>(GetParam() * units + k);
        std::string text = UnitMaker(seed).make();
        Optimized r = optimize(text, {}, two);
        ASSERT_EQ(r.result.status, 0) << "seed " << seed << ": " << r.result.err;
        EXPECT_EQ(r.result.err.find("too many changes"), std::string::npos) << "seed " << seed;
        ASSERT_TRUE(r.verdict.ok) << "seed " << seed << ": " << r.verdict.message << "\n" << text;
        if (r.changes.size() > 1) ++changed;
    }
    EXPECT_GT(changed, 0);
}

INSTANTIATE_TEST_SUITE_P(Shards, Generated, ::testing::Range(0, 40));

}  // namespace
