// Monitors window tree (see montree.h).
#include "vek/views/varmodel/montree.h"

#include "vek/views/varmodel/vartree.h"

namespace vek {

namespace {

constexpr int NotAddressable = 53;

bool isaggregatevalue(const VarRecord& t) {
    if (hasarraytop(t)) return true;
    uint8_t c = uint8_t(t.type);
    return (t.type >> 30) == 0 && (c == 72 || c == 73);
}

bool ischararray(const VarRecord& t) { return displaycode(t) == 65; }

}  // namespace

bool isregisterkind(uint8_t k) {
    return k == sc::Reg || k == sc::RegArg || k == sc::FirstArg || k == sc::StatFArg || k == sc::RFArg ||
           k == sc::FirstReg || k == sc::IntrArg;
}

std::string MonitorTree::monittext(const MonItem& item, MonValue* out) const {
    MonValue v = eval_ ? eval_(item) : MonValue{};
    std::string t;
    if (v.error == 0) t = item.expr + " = " + v.text;
    else if (v.error == NotAddressable && isregisterkind(v.kind)) t = item.expr + " = " + v.regname;
    else t = item.expr + "   <not in scope>";
    if (out) *out = std::move(v);
    return t;
}

void MonitorTree::addchildren(MonItem* item, const MonValue& v) {
    auto child = [&](std::string expr) {
        auto c = std::make_unique<MonItem>();
        c->size = item->size;
        c->format = item->format;
        c->address = item->address;
        c->expr = std::move(expr);
        c->parent = item;
        item->children.push_back(std::move(c));
        place(item->children.back().get());
    };
    if (hasarraytop(v.type)) {
        uint32_t n = v.type.desc.steps.empty() ? 0 : v.type.desc.steps[0];
        for (uint32_t i = 0; i < n; ++i) child(item->expr + "[" + std::to_string(i) + "]");
    } else if (v.type.desc.agg) {
        std::string base = !item->expr.empty() && item->expr[0] == '*' ? "(" + item->expr + ")" : item->expr;
        for (const auto& m : v.type.desc.agg->members) {
            if (m.name.empty()) break;
            child(base + "." + m.name);
        }
    }
}

// Computes the item's text; an aggregate shows its expression and is
// expanded at once.
void MonitorTree::place(MonItem* item) {
    MonValue v;
    std::string t = monittext(*item, &v);
    bool agg = v.error == 0 && isaggregatevalue(v.type) && !(ischararray(v.type) && item->format == 'S');
    item->aggregate = agg;
    if (agg) {
        item->text = item->expr;
        item->expanded = true;
        addchildren(item, v);
    } else
        item->text = t;
}

MonItem* MonitorTree::insert(int32_t number, const std::string& expr, char format, char size, uint32_t address) {
    auto m = std::make_unique<MonItem>();
    m->number = number;
    m->expr = expr;
    m->format = format;
    m->size = size;
    m->address = address;
    items.push_back(std::move(m));
    place(items.back().get());
    return items.back().get();
}

void MonitorTree::remove(int32_t number) {
    std::erase_if(items, [&](const std::unique_ptr<MonItem>& m) { return number < 0 || m->number == number; });
}

void MonitorTree::expand(MonItem* item) {
    if (item->expanded || !item->aggregate) return;
    MonValue v;
    monittext(*item, &v);
    item->children.clear();
    item->expanded = true;
    if (v.error == 0) addchildren(item, v);
}

void MonitorTree::collapse(MonItem* item) {
    item->children.clear();
    item->expanded = false;
}

void MonitorTree::refresh(MonItem* item) {
    MonValue v;
    std::string t = monittext(*item, &v);
    if (v.error == 0 && ischararray(v.type)) {
        if (item->format == 'S') {
            collapse(item);
            item->aggregate = false;
            item->text = t;
            return;
        }
        item->aggregate = true;
        item->text = item->expr;
        if (item->expanded)
            for (auto& c : item->children) refresh(c.get());
        else
            collapse(item);
        return;
    }
    if (v.error == 0 && isaggregatevalue(v.type)) {
        item->aggregate = true;
        item->text = item->expr;
        if (item->expanded)
            for (auto& c : item->children) refresh(c.get());
        return;
    }
    item->text = t;
}

void MonitorTree::refreshall() {
    for (auto& m : items) refresh(m.get());
}

void MonitorTree::setformat(MonItem* item, char letter) {
    std::function<void(MonItem*)> down = [&](MonItem* m) {
        m->format = letter;
        for (auto& c : m->children) down(c.get());
    };
    down(item);
    refresh(item);
}

MonitorTree::Popup MonitorTree::popupfor(const MonItem& item) const {
    Popup p;
    p.deleteall = !items.empty();
    MonValue v = eval_ ? eval_(item) : MonValue{};
    bool ok = v.error == 0 && v.kind != 0;
    bool agg = v.error == 0 && isaggregatevalue(v.type);
    p.update = p.addressof = ok && !agg;
    p.addressof2 = ok;
    p.del = item.number != 0;
    p.string = item.size == 0 && isstringtype(v.type);
    uint8_t c = uint8_t(v.type.type);
    p.format = !((v.type.type >> 30) == 0 && (c == 72 || c == 73));
    return p;
}

namespace {
void savemon(const MonItem& m, int depth, std::string& out) {
    out.append(size_t(depth), '\t');
    out.append(m.text, 0, 511);
    out += '\n';
    if (m.expanded)
        for (const auto& c : m.children) savemon(*c, depth + 1, out);
}
}  // namespace

std::string MonitorTree::savetext() const {
    std::string out = "\n\t\tMonitors\n\n";
    for (const auto& m : items) savemon(*m, 0, out);
    return out;
}

}  // namespace vek
