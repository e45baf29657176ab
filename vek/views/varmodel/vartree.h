// Variable trees: the texts of variables of any type in a chosen format, and
// trees of variable items whose children exist only while expanded. No Qt:
// the windows ask a VarTree for row counts and texts, and a text is built
// only when asked for (then kept until the next refresh marks it stale).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "vek/core/debuginfo/debuginfo.h"

namespace vek {

// How a pane reads the target.
struct VarSource {
    std::function<uint8_t(uint32_t)> getbyte;                 // target memory
    std::function<uint32_t(uint32_t reg, uint8_t sclass)> getreg;   // debug register
    int intsize = 4;
};

// Text of a floating-point value: "0.015", "100.0", "1.2345678e+07",
// "nan", "inf", "-inf". Aggregate windows drop a leading 0 of the exponent.
std::string floattext(double value, bool aggregate = false);

// Bits of a bit-field: width in the low byte of word, offset in bits 8-12.
// Width 32 (or more) is every bit; bits beyond the unit read 0.
uint32_t bitfieldbits(uint32_t unit, uint32_t word, int unitbits);

// Whether a format has the conversion p (the string format).
bool ispformat(const std::string& format);
// One or more pointer or array steps ending at a character type.
bool isstringtype(const VarRecord& var);
bool hasarraytop(const VarRecord& var);

// The position of a variable's type among the displayable codes: the code
// itself, 64 for a pointer, 65 for an array of a character type, 0 for
// other arrays, structures and unions.
uint8_t displaycode(const VarRecord& var);

// The value text of a variable at address (or register number) in format
// (empty: the default of its type). frameset is the frame-set-up flag of the
// frame the pane shows. last receives the value read.
std::string varvaluetext(const VarRecord& var, uint32_t address, const std::string& format,
                         bool frameset, const VarSource& src, uint64_t* last = nullptr,
                         bool aggregate = false);
std::string placetext(const VarRecord& var, uint32_t address, bool frameset, bool aggregate);

// The update dialog's first text of a record's last value: "%f" for
// floating types, "0x%x" for a derived type, else decimal (64 bits for
// long long).
std::string varupdatetext(const VarRecord& var, uint64_t last);

// Window kinds that share the tree: layout and placeholder differ.
enum class TreeKind { Browser, Locals, Globals, Aggregate };

// The display formats chosen for variables, kept while the debug
// information lives, so that a variable shown again keeps its format.
using FormatStore = std::map<const VarRecord*, std::string>;

class VarTree {
public:
    struct Node {
        Node* parent = nullptr;
        int row = 0;
        const VarRecord* source = nullptr;   // the program's record (roots)
        VarRecord rec;                       // own record (members and elements)
        uint32_t address = 0;
        std::string format;
        uint64_t last = 0;
        bool expanded = false;
        bool stale = true;
        std::string text;
        // count rows while expanded; a row's node is made when asked for
        // (element rows are indexes until then)
        int count = 0;
        std::map<int, std::unique_ptr<Node>> children;
        const VarRecord& var() const { return source ? *source : rec; }
    };

    VarTree(TreeKind kind, VarSource src, FormatStore* formats = nullptr);

    TreeKind kind() const { return kind_; }
    bool showvalues = true, showlocations = true;
    bool frameset = true;   // frame-set-up flag at the last fill

    void clear();
    // Appends a variable at the root (or below parent, when given, for a
    // heading item without a record such as a file or function).
    Node* add(const VarRecord& var, uint32_t address, Node* parent = nullptr);
    Node* addheading(const std::string& text, Node* parent = nullptr);

    int rowcount(const Node* parent) const;   // nullptr: the roots
    Node* child(Node* parent, int row);       // makes element rows on demand
    const std::string& text(Node* node);      // builds a stale text
    bool expandable(const Node* node) const;
    bool placeholder(const Node* node) const { return !node->expanded && expandable(node); }
    const char* placeholdertext() const { return kind_ == TreeKind::Aggregate ? "??Dummy??" : "Dummy"; }

    void expand(Node* node);
    void collapse(Node* node);   // frees the children
    void setformat(Node* node, const std::string& format);
    // Marks every text stale; addresses of members and elements follow
    // their parents.
    void refresh();
    void update(Node* node, uint32_t address);

    // The save file: one line per item, a TAB per depth level; items shown
    // as the placeholder are skipped with everything below.
    std::string savetext();

    // Texts built since the tree was made (for the cost tests).
    uint64_t formatted = 0;
    std::vector<std::unique_ptr<Node>> roots;

private:
    TreeKind kind_;
    VarSource src_;
    FormatStore* formats_;
    std::string itemtext(Node* node);
    Node* attach(std::unique_ptr<Node> n, Node* parent);
    void stalesubtree(Node* node);
    void savenode(Node* node, int depth, std::string& out);
};

}  // namespace vek
