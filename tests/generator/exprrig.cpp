// The shared pieces of the expression-code tests (see exprrig.h).
#include "exprrig.h"

#include <cstdio>

#include "assembler/asm.h"

namespace cgtest {

ExprRig::ExprRig(bool markers) {
    G.opt.no = markers ? 0 : 1;
    G.w.file = std::fopen("out.s", "w");
    G.w.fd = fileno(G.w.file);
    cg::initsections(G);
    cg::setrange(G.regs.callersaved, true, cg::gpr(3), cg::gpr(12));
    cg::setlive(G.regs.callersaved);
    G.regs.base = G.regs.callersaved;
    G.regs.freeset = G.regs.callersaved;
    cg::resetexpr(G);
    G.store.restart();
}

cg::RegSet ExprRig::freeset() const { return G.regs.base; }

cg::RegSet ExprRig::without(std::initializer_list<int> regs) const {
    cg::RegSet s = freeset();
    for (int r : regs) cg::setdel(s, cg::gpr(r));
    return s;
}

cg::GenNode* ExprRig::reg(uint8_t type, int r, bool owned) {
    cg::GenNode* n = cg::newnode(G);
    n->type = type;
    n->storage = type == ir::T_DOUBLE ? cg::pairof(cg::gpr(r)) : cg::gpr(r);
    cg::treeloc(n);
    if (owned) n->flags = cg::NF_OWNSREG;
    return n;
}

cg::GenNode* ExprRig::cnst(uint8_t type, int32_t value) {
    cg::GenNode* n = cg::newnode(G);
    n->type = type;
    n->value = value;
    cg::treeloc(n);
    return n;
}

cg::GenNode* ExprRig::mem(uint32_t type, uint8_t base, int32_t offset, const std::string& name, uint32_t access) {
    cg::GenNode* n = cg::newnode(G);
    n->type = type;
    n->storage = base;
    n->value = offset;
    n->name = name;
    n->indir = 1;
    n->leafflags = access;
    cg::treeloc(n);
    return n;
}

cg::GenNode* ExprRig::node(int16_t op, uint32_t type, cg::GenNode* left, cg::GenNode* right, uint32_t size) {
    cg::GenNode* n = cg::newnode(G);
    cg::makenode(n, op, type, 0, left, right);
    n->size = size;
    return n;
}

std::string ExprRig::raw() {
    G.store.addchars("`");
    G.store.setread(mark);
    for (;;) {
        bool ok = false;
        std::string_view chunk = G.store.takeline(ok);
        if (!ok || cg::putasm(G, chunk) == 0) break;
    }
    mark = G.store.writepos();
    cg::outbyte(G, -1);
    std::string all = s.read("out.s");
    std::string fresh = all.substr(std::min(printed, all.size()));
    printed = all.size();
    return fresh;
}

std::string ExprRig::text() {
    std::string out, line;
    std::string r = raw();
    for (size_t i = 0; i <= r.size(); ++i) {
        if (i < r.size() && r[i] != '\n') {
            line += r[i] == '\t' ? ' ' : r[i];
            continue;
        }
        size_t start = line.find_first_not_of(' ');
        if (start != std::string::npos) {
            if (!out.empty()) out += "; ";
            out += line.substr(start);
        }
        line.clear();
    }
    return out;
}

std::string assemble(const std::string& text, std::string& why) {
    std::FILE* f = std::fopen("prog.s", "w");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    std::remove("prog.o");
    std::vector<std::string> words = {"cappc", "prog.s"};
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    tl::resettoolcontext();
    testing::internal::CaptureStderr();
    int status = tl::runmain([&] { return as::run(static_cast<int>(words.size()), argv.data()); });
    why = testing::internal::GetCapturedStderr();
    if (status != 0) return "";
    return "prog.o";
}

std::unique_ptr<vek::Session> loadprogram(const std::string& object) {
    auto s = vek::freshsession();
    s->target.report.errmsg = [](int, std::string_view) {};
    if (!s->load({object})) return nullptr;
    return s;
}

}  // namespace cgtest
