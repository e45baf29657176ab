// The small tools every pass of the optimizer rewrites lines with: entering
// a pass, waiting for the deferred phase, replacing and inserting lines,
// reading numbers and registers out of operand texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "optimizer/opt.h"

namespace opt {

// Sets the current pass name; false when the pass is switched off.
bool enterpass(Optimizer& o, const char* code);
// A deferred pass may act: true once the deferred phase is armed; before
// that it asks the driver for the phase and acts not.
bool armed(Optimizer& o);

// A new node for the line, placed after `after` (it keeps `keep`'s volatile
// bit when keep is given) and attached to its label when it is a branch.
InsnNode* putafter(Optimizer& o, InsnNode* after, std::string_view line, const InsnNode* keep = nullptr);
// Replaces n by the line (volatile bit kept); returns the new node.
InsnNode* replaceinsn(Optimizer& o, InsnNode* n, std::string_view line);
// Deletes n and stores in place the node that stands where n stood.
void dropinsn(Optimizer& o, InsnNode*& place, InsnNode* n);
// The same, counted as a destruction; returns 1 (a change).
int dropped(Optimizer& o, InsnNode*& place, InsnNode* n);

// The row index of the generic form (e_/se_ rows count as their generic).
int genrow(const InsnNode* n);
std::string_view genname(const InsnNode* n);
bool isrow(const InsnNode* n, int row);
bool isrow(const InsnNode* n, std::string_view mnemonic);

// The value of a plain signed number text ("12", "-0x10"); false otherwise.
bool numvalue(std::string_view text, int32_t& v);
// The register of the first operand (a mask), 0 when it is none.
uint32_t firstreg(const InsnNode* n);
// The text of the operands from the second on ("" for one operand).
std::string_view restops(const InsnNode* n);
bool hasrec(const InsnNode* n);
// A short register of the VLE bit instructions: r0-r7, r24-r31.
inline bool shortreg(uint32_t mask) { return mask && !(mask & ~(regrange(0, 7) | regrange(24, 31))); }
// The registers and resources n writes are all dead after it.
bool writesdead(Optimizer& o, InsnNode* n);
// The instruction right before n in list order within its block (texts
// passed, a label or the start: none).
InsnNode* previnblock(InsnNode* n);
InsnNode* nextinblock(InsnNode* n);
// Stops a walk: a label branch, call, exit or barrier.
bool barrier(const InsnNode* n);
// The address operand: the text after the first comma.
std::string_view addressop(const InsnNode* n);
// The general registers an access uses to form its address (a store's
// stored register left out).
uint32_t addressregs(const InsnNode* n);

// A line that only sets its one register from its operands (li, la, a
// load): the kind whose value can be found already made.
bool valueline(const InsnNode* n);
// Every way back from `from` meets n's line (or, for lwz, the stw of its
// register to its place) before anything changes the value n would make.
bool valueheld(Optimizer& o, InsnNode* from, const InsnNode* n);

}  // namespace opt
