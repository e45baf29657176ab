// The optimizer's instruction table and line parser: every mnemonic of the
// assembler's language that the optimizer knows is found, and the lines the
// generator writes (and common inline assembly) get the registers and
// resources they really read and write.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "harness.h"
#include "toollib/isa/isa.h"

namespace {

using namespace opt;
using opttest::regs;

// Every mnemonic the optimizer must know, in the order of its table.
const char* const kMnemonics =
    "add addc adde addi addic addis addme addze and andc andi andis b ba bc bca bcctr bcctrl bcl "
    "bcla bclr bclri bclrl bctr bctrl bdnz bdnza bdnzf bdnzfa bdnzfl bdnzfla bdnzflr bdnzflrl "
    "bdnzl bdnzla bdnzlr bdnzlrl bdnzt bdnzta bdnztl bdnztla bdnztlr bdnztlrl bdz bdza bdzf bdzfa "
    "bdzfl bdzfla bdzflr bdzflrl bdzl bdzla bdzlr bdzlrl bdzt bdzta bdztl bdztla bdztlr bdztlrl "
    "beq beqa beqctr beqctrl beql beqla beqlr beqlrl bf bfa bfctr bfctrl bfl bfla bflr bflrl bge "
    "bgea bgectr bgectrl bgel bgela bgelr bgelrl bgeni bgt bgta bgtctr bgtctrl bgtl bgtla bgtlr "
    "bgtlrl bl bla ble blea blectr blectrl blel blela blelr blelrl blr blrl blt blta bltctr "
    "bltctrl bltl bltla bltlr bltlrl bmaski bne bnea bnectr bnectrl bnel bnela bnelr bnelrl bng "
    "bnga bngctr bngctrl bngl bngla bnglr bnglrl bnl bnla bnlctr bnlctrl bnll bnlla bnllr bnllrl "
    "bns bnsa bnsctr bnsctrl bnsl bnsla bnslr bnslrl bnu bnua bnuctr bnuctrl bnul bnula bnulr "
    "bnulrl brinc bseti bso bsoa bsoctr bsoctrl bsol bsola bsolr bsolrl bt bta btctr btctrl btl "
    "btla btlr btlrl btsti bun buna bunctr bunctrl bunl bunla bunlr bunlrl clrlslwi clrlwi clrrwi "
    "cmp cmph cmphi cmphl cmphli cmpi cmpl cmpli cmplw cmplwi cmpw cmpwi cntlzw crand crandc "
    "crclr creqv crmove crnand crnor crnot cror crorc crset crxor dcba dcbf dcbi dcblc dcbst dcbt "
    "dcbtls dcbtst dcbtstls dcbz divw divwu e_add16i e_add2i e_add2is e_addi e_addic e_and2i "
    "e_and2is e_andi e_b e_bc e_bcl e_bl e_cmp16i e_cmph e_cmph16i e_cmphl e_cmphl16i e_cmpi "
    "e_cmpl16i e_cmpli e_crand e_crandc e_creqv e_crnand e_crnor e_cror e_crorc e_crxor e_lbz "
    "e_lbzu e_lha e_lhau e_lhz e_lhzu e_li e_lis e_lmvcsrrw e_lmvdsrrw e_lmvgprw e_lmvsprw "
    "e_lmvsrrw e_lmw e_lwz e_lwzu e_mcrf e_mull2i e_mulli e_or2i e_or2is e_ori e_rlw e_rlwi "
    "e_rlwimi e_rlwinm e_slwi e_srwi e_stb e_stbu e_sth e_sthu e_stmvcsrrw e_stmvdsrrw e_stmvgprw "
    "e_stmvsprw e_stmvsrrw e_stmw e_stw e_stwu e_subfic e_xori eciwx ecowx efdabs efdadd efdcfs "
    "efdcfsf efdcfsi efdcfuf efdcfui efdcmpeq efdcmpgt efdcmplt efdctsf efdctsi efdctsiz efdctuf "
    "efdctui efdctuiz efddiv efdmul efdnabs efdneg efdsub efdtsteq efdtstgt efdtstlt efsabs "
    "efsadd efscfd efscfsf efscfsi efscfuf efscfui efscmpeq efscmpgt efscmplt efsctsf efsctsi "
    "efsctsiz efsctuf efsctui efsctuiz efsdiv efsmul efsnabs efsneg efssub efststeq efststgt "
    "efststlt eieio eqv evabs evaddiw evaddsmiaaw evaddssiaaw evaddumiaaw evaddusiaaw evaddw "
    "evand evandc evcmpeq evcmpgts evcmpgtu evcmplts evcmpltu evcntlsw evcntlzw evdivws evdivwu "
    "eveqv evextsb evextsh evfsabs evfsadd evfscfsf evfscfsi evfscfuf evfscfui evfscmpeq "
    "evfscmpgt evfscmplt evfsctsf evfsctsi evfsctsiz evfsctuf evfsctui evfsctuiz evfsdiv evfsmul "
    "evfsnabs evfsneg evfssub evfststeq evfststgt evfststlt evldd evlddx evldh evldhx evldw "
    "evldwx evlhhesplat evlhhesplatx evlhhossplat evlhhossplatx evlhhousplat evlhhousplatx evlwhe "
    "evlwhex evlwhos evlwhosx evlwhou evlwhoux evlwhsplat evlwhsplatx evlwwsplat evlwwsplatx "
    "evmergehi evmergehilo evmergelo evmergelohi evmhegsmfaa evmhegsmfan evmhegsmiaa evmhegsmian "
    "evmhegumiaa evmhegumian evmhesmf evmhesmfa evmhesmfaaw evmhesmfanw evmhesmi evmhesmia "
    "evmhesmiaaw evmhesmianw evmhessf evmhessfa evmhessfaaw evmhessfanw evmhessiaaw evmhessianw "
    "evmheumi evmheumia evmheumiaaw evmheumianw evmheusiaaw evmheusianw evmhogsmfaa evmhogsmfan "
    "evmhogsmiaa evmhogsmian evmhogumiaa evmhogumian evmhosmf evmhosmfa evmhosmfaaw evmhosmfanw "
    "evmhosmi evmhosmia evmhosmiaaw evmhosmianw evmhossf evmhossfa evmhossfaaw evmhossfanw "
    "evmhossiaaw evmhossianw evmhoumi evmhoumia evmhoumiaaw evmhoumianw evmhousiaaw evmhousianw "
    "evmr evmra evmwhgsmfaa evmwhgsmfan evmwhgsmiaa evmwhgsmian evmwhgssfaa evmwhgssfan "
    "evmwhgumiaa evmwhgumian evmwhsmf evmwhsmfa evmwhsmfaaw evmwhsmfanw evmwhsmi evmwhsmia "
    "evmwhsmiaaw evmwhsmianw evmwhssf evmwhssfa evmwhssfaaw evmwhssfanw evmwhssianw evmwhssmaaw "
    "evmwhumi evmwhumia evmwhusiaaw evmwhusianw evmwlsmf evmwlsmfa evmwlsmfaaw evmwlsmfanw "
    "evmwlsmiaaw evmwlsmianw evmwlssf evmwlssfa evmwlssfaaw evmwlssfanw evmwlssiaaw evmwlssianw "
    "evmwlumi evmwlumia evmwlumiaaw evmwlumianw evmwlusiaaw evmwlusianw evmwsmf evmwsmfa "
    "evmwsmfaa evmwsmfan evmwsmi evmwsmia evmwsmiaa evmwsmian evmwssf evmwssfa evmwssfaa "
    "evmwssfan evmwumi evmwumia evmwumiaa evmwumian evnand evneg evnor evnot evor evorc evrlw "
    "evrlwi evrndw evsel evslw evslwi evsplatfi evsplati evsrwis evsrwiu evsrws evsrwu evstdd "
    "evstddx evstdh evstdhx evstdw evstdwx evstwhe evstwhex evstwho evstwhox evstwwe evstwwex "
    "evstwwo evstwwox evsubfsmiaaw evsubfssiaaw evsubfumiaaw evsubfusiaaw evsubfw evsubifw "
    "evsubiw evsubw evxor extlwi extrwi extsb extsh extsw extzb extzh fabs fadd fadds fcfid fcmpo "
    "fcmpu fctid fctidz fctiw fctiwz fdiv fdivs fmadd fmadds fmr fmsub fmsubs fmul fmuls fnabs "
    "fneg fnmadd fnmadds fnmsub fnmsubs fres frsp frsqrte fsel fsqrt fsqrts fsub fsubs icbi icblc "
    "icbt icbtls inslwi insrwi isel iseleq iselgt isellt isync la lbz lbzu lbzux lbzx ld ldarx "
    "ldu ldux ldx lfd lfdu lfdux lfdx lfs lfsu lfsux lfsx lha lhau lhaux lhax lhbrx lhz lhzu "
    "lhzux lhzx li lis lmvcsrrw lmvdsrrw lmvgprw lmvsprw lmvsrrw lmw lswi lswx lwa lwarx lwaux "
    "lwax lwbrx lwz lwzu lwzux lwzx mbar mcrf mcrfs mcrxr mfapidi mfcr mfctr mfdcr mffs mflr "
    "mfmsr mfpmr mfspr mfsr mfsrin mftb mr msync mtcr mtcrf mtctr mtdcr mtfsb0 mtfsb1 mtfsf "
    "mtfsfi mtlr mtmsr mtmsrd mtpmr mtspr mtsr mtsrd mtsrdin mtsrin mulhd mulhdu mulhw mulhwu "
    "mulld mulli mullw nand neg nop nor not or orc ori oris rfci rfdi rfi rfmci rldcl rldcr rldic "
    "rldicl rldicr rldimi rlw rlwi rlwimi rlwinm rlwnm rotlw rotlwi rotrwi sc se_add se_addi "
    "se_and se_andc se_andi se_b se_bc se_bclri se_bctr se_bctrl se_bgeni se_bl se_blr se_blrl "
    "se_bmaski se_bseti se_btsti se_cmp se_cmph se_cmphl se_cmpi se_cmpl se_cmpli se_extsb "
    "se_extsh se_extzb se_extzh se_isync se_lbz se_lhz se_li se_lwz se_mfar se_mfctr se_mflr "
    "se_mr se_mtar se_mtctr se_mtlr se_mullw se_neg se_not se_or se_rfci se_rfdi se_rfi se_sc "
    "se_slw se_slwi se_sraw se_srawi se_srw se_srwi se_stb se_sth se_stw se_sub se_subf se_subi "
    "slbia slbie sldi slw slwi srad sradi sraw srawi srd srw srwi stb stbu stbux stbx std stdcx "
    "stdu stdux stdx stfd stfdu stfdux stfdx stfiwx stfs stfsu stfsux stfsx sth sthbrx sthu sthux "
    "sthx stmvcsrrw stmvdsrrw stmvgprw stmvsprw stmvsrrw stmw stswi stswx stw stwbrx stwcx stwu "
    "stwux stwx sub subc subf subfc subfe subfic subfme subfze subi subic subis tlbia tlbie "
    "tlbivax tlbre tlbsx tlbsync tlbwe tw tweq tweqi twge twgei twgt twgti twi twle twlei twlge "
    "twlgei twlgt twlgti twlle twllei twllt twllti twlng twlngi twlnl twlnli twlt twlti twne "
    "twnei twng twngi twnl twnli use wait wrtee wrteei xor xori xoris ";

std::vector<std::string> mnemonics() {
    std::istringstream in(kMnemonics);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return s;
}

TEST(InsnTable, EveryMnemonicIsFoundInEitherCase) {
    initinsntab();
    std::vector<std::string> all = mnemonics();
    ASSERT_EQ(all.size(), 899u);
    ASSERT_EQ(insntable().size(), 899u);
    for (size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(findinsn(all[i]), static_cast<int>(i)) << all[i];
        EXPECT_EQ(findinsn(upper(all[i])), static_cast<int>(i)) << upper(all[i]);
        EXPECT_STREQ(insntable()[i].mnemonic, all[i].c_str());
    }
    for (const char* word : {"", "bs", "addx", "e_beq", "se_illegal", "xorisz", "a"})
        EXPECT_EQ(findinsn(word), -1) << word;
}

// The e_ and se_ spellings follow the generic row the shared encoding table
// names for them, so that an e_stw is a store and an se_blr an exit.
TEST(InsnTable, VleSpellingsFollowTheirGenericRows) {
    initinsntab();
    int vle = 0;
    for (const InsnRow& r : insntable()) {
        std::string_view m = r.mnemonic;
        if (!m.starts_with("e_") && !m.starts_with("se_")) {
            EXPECT_EQ(r.generic, &r) << m;
            continue;
        }
        ++vle;
        ASSERT_NE(r.generic, &r) << m << " has no generic row";
        const isa::Insn* enc = nullptr;
        for (const isa::Insn& i : isa::insns()) {
            std::string_view n = i.name;
            if (n == m || (n.size() == m.size() + 1 && n.starts_with(m) && n.back() == '.')) {
                enc = &i;
                break;
            }
        }
        ASSERT_NE(enc, nullptr) << m;
        std::string_view generic = enc->also ? enc->also : isa::disname(*enc);
        EXPECT_EQ(generic, r.generic->mnemonic) << m;
        EXPECT_EQ(r.attr & ~AlwaysRec, r.generic->attr) << m;
        EXPECT_EQ(r.implread, r.generic->implread) << m;
        EXPECT_EQ(r.implwrite, r.generic->implwrite) << m;
    }
    EXPECT_EQ(vle, 129);
}

TEST(InsnTable, BranchCodes) {
    initinsntab();
    struct Case {
        const char* mnemonic;
        int code;
    } cases[] = {{"beq", 0},  {"beqa", 1},  {"bge", 2},   {"bne", 10},  {"bnl", 14}, {"buna", 23},
                 {"b", 30},   {"ba", 31},   {"e_b", 30},  {"se_b", 30}, {"bl", -1},  {"blr", -1},
                 {"beql", -1}, {"bdnz", -1}, {"bctr", -1}, {"bc", -1},   {"add", -1}};
    for (const Case& c : cases) {
        int row = findinsn(c.mnemonic);
        ASSERT_GE(row, 0) << c.mnemonic;
        EXPECT_EQ(branchcode(static_cast<uint16_t>(KInsn | row)), c.code) << c.mnemonic;
    }
    const int inverse[] = {10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1, 4, 5, 8, 9, 20, 21, 22, 23, 16, 17, 18, 19};
    for (int c = 0; c < 24; ++c) EXPECT_EQ(invertcode(c), inverse[c]);
    EXPECT_STREQ(condmnemonic(12), "ble");   // bng is written ble
    EXPECT_STREQ(condmnemonic(14), "bge");   // bnl is written bge
    EXPECT_EQ(rowids().addis, findinsn("addis"));
    EXPECT_EQ(rowids().subis, findinsn("subis"));
    EXPECT_EQ(rowids().mr, findinsn("mr"));
}

// What one line reads and writes. Resources are named: cr0..cr7, ca, lr,
// ctr, mem, and the flags br (conditional / a branch), lbl, call, exit.
struct Effect {
    const char* line;
    const char* mnemonic;    // the row found ("" text)
    const char* gread;
    const char* gwrite;
    const char* rread;
    const char* rwrite;
    int width;
    int opcount;
};

uint32_t resources(const std::string& names) {
    static const std::pair<const char*, uint32_t> kNames[] = {
        {"cr0", 0x1}, {"cr1", 0x2}, {"cr2", 0x4}, {"cr7", 0x80}, {"crall", CrAll}, {"ca", Ca},
        {"lr", Lr}, {"ctr", Ctr}, {"mem", Mem}, {"br", Br}, {"lbl", Lbl}, {"call", Call}, {"exit", Exit},
        {"ext", Ext}, {"use", Use}, {"rec", RecForm}, {"ov", OvForm},
    };
    uint32_t m = 0;
    std::istringstream in(names);
    for (std::string w; in >> w;) {
        bool found = false;
        for (const auto& [n, v] : kNames)
            if (w == n) m |= v, found = true;
        EXPECT_TRUE(found) << w;
    }
    return m;
}

class LineEffects : public ::testing::TestWithParam<Effect> {};

TEST_P(LineEffects, MasksWidthAndOperands) {
    const Effect& e = GetParam();
    Optimizer o;
    initinsntab();
    std::unique_ptr<InsnNode> n(parseinsn(o, e.line));
    if (!*e.mnemonic) {
        EXPECT_TRUE(n->istext()) << e.line;
        EXPECT_EQ(n->text, e.line);
        return;
    }
    ASSERT_TRUE(n->isinsn()) << e.line;
    EXPECT_STREQ(insnrow(n->kind).mnemonic, e.mnemonic) << e.line;
    EXPECT_EQ(n->gprread, regs(e.gread)) << e.line;
    EXPECT_EQ(n->gprwrite, regs(e.gwrite)) << e.line;
    EXPECT_EQ(n->crread, resources(e.rread)) << e.line;
    EXPECT_EQ(n->crwrite, resources(e.rwrite)) << e.line;
    EXPECT_EQ(n->width, e.width) << e.line;
    EXPECT_EQ(n->opcount, e.opcount) << e.line;
}

const Effect kEffects[] = {
    // the parser's own edge lines
    {"\taddi.\tr3,r3,1", "addi", "r3", "r3", "", "cr0 rec", 0, 3},
    {"\tbso\tL5", "bso", "", "", "cr0 br", "br lbl", 0, 1},
    {"\taddo\tr3,r4,r5", "add", "r4 r5", "r3", "", "ov", 0, 3},
    {"\tlwzu\tr3,4(r1)", "lwzu", "r1", "r1 r3", "mem", "", 0, 2},
    {"\tstw\tr3,8(r1)", "stw", "r1 r3", "", "", "mem", 0, 2},
    {"\tlmw\tr29,8(r1)", "lmw", "r1", "r29-r31", "mem", "", 0, 2},
    {"\tisel\tr3,r0,r4", "isel", "r4", "r3", "cr0", "", 0, 3},
    {"\textzb\tr3", "extzb", "r3", "r3", "", "ext", 1, 1},
    {"\textzb\tr3,r4", "extzb", "r4", "r3", "", "ext", 1, 2},
    {"\tbl\tc_dadd", "bl", "r3-r6", "r0 r3-r6", "", "cr0 lr call", 0, 1},
    {"\tbl\t_f", "bl", "", "r0 r3-r10", "", "cr0 lr call", 0, 1},
    {"\tandi\tr3,0x1234", "andi", "r3", "r3", "", "cr0", 0, 2},
    {"\tandi\tr3,0xff00", "andi", "r3", "r3", "", "", 0, 2},
    {"\tfoo\tr3,r4", "", "", "", "", "", 0, 0},
    {"ADDI R3,R3,4", "addi", "r3", "r3", "", "", 0, 3},
    // what the generator writes
    {"\tadd\tr3,r4", "add", "r3 r4", "r3", "", "", 0, 2},
    {"\tsubi\tr1,r1,16", "subi", "r1", "r1", "", "", 0, 3},
    {"\tli\tr3,5", "li", "", "r3", "", "", 0, 2},
    {"\tlis\tr3,.x", "lis", "", "r3", "", "", 0, 2},
    {"\tla\tr3,8(r1)", "la", "r1", "r3", "", "", 0, 2},
    {"\tmr\tr14,r3", "mr", "r3", "r14", "", "", 0, 2},
    {"\tlwz\tr3,OFST-8(r1)", "lwz", "r1", "r3", "mem", "", 0, 2},
    {"\tlha\tr3,_x+2(r13)", "lha", "r13", "r3", "mem", "", 2, 2},
    {"\tsth\tr3,0(r4)", "sth", "r3 r4", "", "", "mem", 2, 2},
    {"\tstb\tr0,4(r1)", "stb", "r0 r1", "", "", "mem", 1, 2},
    {"\tstmw\tr29,8(r1)", "stmw", "r1 r29-r31", "", "", "mem", 0, 2},
    {"\tmflr\tr0", "mflr", "", "r0", "lr", "", 0, 1},
    {"\tmtlr\tr0", "mtlr", "r0", "", "", "lr", 0, 1},
    {"\tmtctr\tr3", "mtctr", "r3", "", "", "ctr", 0, 1},
    {"\tbdnz\tL5", "bdnz", "", "", "br ctr", "br ctr lbl", 0, 1},
    {"\tbeq\tL5", "beq", "", "", "cr0 br", "br lbl", 0, 1},
    {"\tb\tL7", "b", "", "", "", "br lbl", 0, 1},
    {"\tblr", "blr", "", "r0 r3-r10", "lr", "cr0 exit", 0, 0},
    {"\tblrl", "blrl", "", "r0 r3-r10", "lr", "cr0 lr call", 0, 0},
    {"\tb\tc_resti", "b", "", "r3-r12", "", "cr0 br lbl call exit", 0, 1},
    {"\tbl\tc_jrtab", "bl", "r3", "r0 r3-r12", "", "cr0 lr call exit", 0, 1},
    {"\tbl\tc_savim", "bl", "r0 r3-r12", "r0", "", "cr0 lr call", 0, 1},
    {"\tbl\tc_restim", "bl", "", "r3-r12", "", "cr0 lr call exit", 0, 1},
    {"\tbl\tc_fdiv", "bl", "r3 r4", "r0 r3 r4", "", "cr0 lr call ctr", 0, 1},
    {"\tcmpi\tr3,0", "cmpi", "r3", "", "", "cr0", 0, 2},
    {"\tcmplw\tr3,r4", "cmplw", "r3 r4", "", "", "cr0", 0, 2},
    {"\taddc\tr3,r3,r4", "addc", "r3 r4", "r3", "", "ca", 0, 3},
    {"\tadde\tr3,r4", "adde", "r3 r4", "r3", "ca", "ca", 0, 2},
    {"\tsrawi\tr3,r4,2", "srawi", "r4", "r3", "", "", 0, 3},
    {"\tneg\tr3", "neg", "r3", "r3", "", "", 0, 1},
    {"\textsh\tr3,r3", "extsh", "r3", "r3", "", "ext", 2, 2},
    {"\trlwinm\tr3,r4,2,0,29", "rlwinm", "r4", "r3", "", "", 0, 5},
    {"\tinslwi\tr3,r4,8,16", "inslwi", "r3 r4", "r3", "", "", 0, 4},
    {"\textrwi\tr3,r4,8,16", "extrwi", "r4", "r3", "", "", 0, 4},
    {"\tbseti\tr3,5", "bseti", "r3", "r3", "", "", 0, 2},
    {"\tbtsti\tr3,5", "btsti", "r3", "", "", "cr0", 0, 2},
    {"\tuse\t(r3,r4)", "use", "r3 r4", "", "use", "", 0, 1},
    {"\tstmvgprw\t24(r1)", "stmvgprw", "r0 r1 r3-r12", "", "", "mem", 0, 1},
    {"\tlmvgprw\t24(r1)", "lmvgprw", "r1", "r0 r3-r12", "mem", "", 0, 1},
    {"\twrteei\t1", "wrteei", "", "", "", "", 0, 1},
    // effects the bare rows would miss
    {"\trlwimi\tr3,r4,8,16,23", "rlwimi", "r3 r4", "r3", "", "", 0, 5},
    {"\tmfspr\tr3,256", "mfspr", "", "r3", "ca lr ctr", "", 0, 2},
    {"\tdcbf\tr3,r4", "dcbf", "r3 r4", "", "mem", "mem", 0, 2},
    {"\tcmpw\tcr1,r3,r4", "cmpw", "r3 r4", "", "", "cr1", 0, 3},
    {"\tcmpwi\t7,r3,4", "cmpwi", "r3", "", "", "cr7", 0, 3},
    {"\tbeq\tcr1,L5", "beq", "", "", "cr1 br", "br lbl", 0, 2},
    {"\tcrand\t4,1,2", "crand", "", "", "cr0 cr1", "cr1", 0, 3},
    {"\tcror\t4*cr1+eq,0,2", "cror", "", "", "crall", "crall", 0, 3},
    {"\tisel\tr3,r4,r5,6", "isel", "r4 r5", "r3", "cr1", "", 0, 4},
    {"\tmfcr\tr3", "mfcr", "", "r3", "crall", "", 0, 1},
    {"\tmcrf\tcr1,cr0", "mcrf", "", "", "cr0", "cr1", 0, 2},
    {"\tmcrf\t7,2", "mcrf", "", "", "cr2", "cr7", 0, 2},
    {"\tcrset\t6", "crset", "", "", "cr1", "cr1", 0, 1},
    {"\tbctrl", "bctrl", "", "r0 r3-r10", "ctr", "cr0 lr call", 0, 0},
    {"\tbt\t2,L5", "bt", "", "", "crall br", "br lbl", 0, 2},
    {"\tbeqlr", "beqlr", "r3 r4", "", "cr0 br lr", "br", 0, 0},
    {"\ttweq\tr3,r4", "tweq", "r3 r4", "", "", "", 0, 2},
    {"\tevstdd\tr3,8(r4)", "evstdd", "r3 r4", "", "", "mem", 0, 2},
    {"\tevldd\tr3,8(r4)", "evldd", "r4", "r3", "mem", "", 0, 2},
    // e_ and se_ spellings
    {"\te_stw\tr3,8(r1)", "e_stw", "r1 r3", "", "", "mem", 0, 2},
    {"\te_bl\t_f", "e_bl", "", "r0 r3-r10", "", "cr0 lr call", 0, 1},
    {"\tse_blr", "se_blr", "", "r0 r3-r10", "lr", "cr0 exit", 0, 0},
    {"\te_b\tL5", "e_b", "", "", "", "br lbl", 0, 1},
    {"\tse_add\tr3,r4", "se_add", "r3 r4", "r3", "", "", 0, 2},
    {"\te_add16i\tr3,r4,5", "e_add16i", "r4", "r3", "", "", 0, 3},
    {"\te_add2i.\tr3,5", "e_add2i", "r3", "r3", "", "cr0 rec", 0, 2},
    {"\te_or2i\tr3,0x1234", "e_or2i", "r3", "r3", "", "", 0, 2},
    {"\te_lwzu\tr3,4(r5)", "e_lwzu", "r5", "r3 r5", "mem", "", 0, 2},
    {"\tse_mtlr\tr0", "se_mtlr", "r0", "", "", "lr", 0, 1},
    {"\tse_extzb\tr3", "se_extzb", "r3", "r3", "", "ext", 1, 1},
    {"\te_cmpi\tcr2,r3,5", "e_cmpi", "r3", "", "", "cr2", 0, 3},
    {"\te_rlwimi\tr3,r4,8,16,23", "e_rlwimi", "r3 r4", "r3", "", "", 0, 5},
    {"\tse_bl\tc_fadd", "se_bl", "r3 r4", "r0 r3 r4", "", "cr0 lr call", 0, 1},
    {"\te_stmw\tr30,8(r1)", "e_stmw", "r1 r30 r31", "", "", "mem", 0, 2},
    {"\te_lmw\tr30,8(r1)", "e_lmw", "r1", "r30 r31", "mem", "", 0, 2},
};

INSTANTIATE_TEST_SUITE_P(Lines, LineEffects, ::testing::ValuesIn(kEffects));

TEST(LineParser, KindsOfLines) {
    Optimizer o;
    initinsntab();
    struct Case {
        const char* line;
        uint16_t kind;
        const char* text;
    } cases[] = {
        {"L5:", KLabel, "L5:"},
        {"  L5:\t; comment", KLabel, "L5:"},
        {"L5:\taddi\tr3,r3,1", KLabelText, "L5:\taddi\tr3,r3,1"},
        {"_x:\tdc.l\t5", KLabelText, "_x:\tdc.l\t5"},
        {"; comment", KText, "; comment"},
        {"\t.dline\t\"a.c:3\"", KText, "\t.dline\t\"a.c:3\""},
        {"\tdc.l\tL5", KText, "\tdc.l\tL5"},
        {"", KText, ""},
    };
    for (const Case& c : cases) {
        std::unique_ptr<InsnNode> n(parseinsn(o, c.line));
        EXPECT_EQ(n->kind, c.kind) << c.line;
        EXPECT_EQ(n->text, c.text) << c.line;
    }
    std::unique_ptr<InsnNode> ofst(parseinsn(o, "OFST:\tset\t24"));
    EXPECT_TRUE(ofst->istext());
    EXPECT_EQ(o.framevalue, 24);
    // the operand text loses its comment and trailing blanks
    std::unique_ptr<InsnNode> n(parseinsn(o, "\tlwz\tr3,0(r4)   ; load"));
    EXPECT_EQ(n->text, "r3,0(r4)");
    EXPECT_EQ(lineof(n.get()), "\tlwz\tr3,0(r4)");
    std::unique_ptr<InsnNode> u(parseinsn(o, "\tADDO.\tr3,r4,r5"));
    EXPECT_EQ(lineof(u.get()), "\taddo.\tr3,r4,r5");
}

TEST(LineParser, SplitLabel) {
    Optimizer o;
    initinsntab();
    std::string rest;
    std::unique_ptr<InsnNode> a(parseinsn(o, "L5:\taddi\tr3,r3,1"));
    ASSERT_TRUE(splitlabel(a.get(), rest));
    EXPECT_EQ(a->kind, KLabel | KVolatile);
    EXPECT_EQ(a->text, "L5:");
    EXPECT_EQ(rest, "\taddi\tr3,r3,1");
    std::unique_ptr<InsnNode> b(parseinsn(o, "L6:\tdc.l\t5"));
    EXPECT_FALSE(splitlabel(b.get(), rest));
    EXPECT_EQ(b->kind, KText);
    EXPECT_EQ(b->text, "L6:\tdc.l\t5");
}

TEST(OperandText, Helpers) {
    EXPECT_EQ(nextoperand("r3,0(r4)", 1), "0(r4)");
    EXPECT_EQ(nextoperand("r3,0(r4)", 0), ",0(r4)");
    EXPECT_EQ(nextoperand("(r3,r4)", 1), "(r3,r4)");   // no top-level comma: the start
    EXPECT_EQ(lastoperand("cr1, L5 "), "L5");
    EXPECT_EQ(operandcount("r3,r4,(r5,r6)"), 3);
    EXPECT_EQ(parsereg("r12,r3"), 1u << 12);
    EXPECT_EQ(parsereg("cr2)"), 1u << 2);
    EXPECT_EQ(parsereg("sp"), 0u);
    EXPECT_EQ(parsereg("r32"), 0u);
    EXPECT_EQ(parsereg("r03"), 0u);
    EXPECT_EQ(gprname(regs("r5 r9")), "r5");
    EXPECT_TRUE(isnumber("-4"));
    EXPECT_FALSE(isnumber("OFST-4"));
    for (uint32_t v : {0x0u, 0xFFu, 0xFF00u, 0xFFFFFF12u, 0x12FFFFFFu, 0x00FF0000u}) EXPECT_TRUE(issci8(v)) << v;
    for (uint32_t v : {0x1234u, 0x101u, 0xFFFF1234u}) EXPECT_FALSE(issci8(v)) << v;
    EXPECT_TRUE(sameop("r3,0(r4)", "r3,8(r1)"));
    EXPECT_FALSE(sameop("r3,0(r4)", "r31,0(r4)"));
    EXPECT_TRUE(sameop("r3", "r3"));

    Optimizer o;
    initinsntab();
    std::unique_ptr<InsnNode> n(parseinsn(o, "\tlwzu.\tr3,4(r3)"));
    EXPECT_TRUE(replaceop(o, n.get(), "r3", "r5"));
    EXPECT_EQ(o.line, "lwzu. r5,4(r5)");
    std::unique_ptr<InsnNode> m(parseinsn(o, "\tadd\tr13,r31,r3"));
    EXPECT_TRUE(replaceop(o, m.get(), "r3", "r4"));
    EXPECT_EQ(o.line, "add r13,r31,r4");
    EXPECT_FALSE(replaceop(o, m.get(), "r1", "r4"));
}

}  // namespace
