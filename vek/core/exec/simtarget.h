// The whole simulated target in one structure: messages, register banks,
// memory, the executor, the interrupt state and the dual-core split mask,
// wired together the way the debugger starts its simulator. A test or a
// session creates a fresh one; the debugger binds the counters and the
// report to its symbol table and message sink.
#pragma once

#include <cstdint>

#include "vek/core/exec/exec.h"
#include "vek/core/exec/hooks.h"

namespace vek {

struct SimTarget {
    TargetReport report;
    RegisterFile regs;
    Memory mem{&report};
    Executor exec{regs, mem, &report};
    InterruptState interrupts;
    PendingInterrupts* pending = &interrupts.pending;
    uint32_t splitmask = 0;    // dual-core split mask
    uint8_t targetflags = 8;   // big-endian
    // Counters while no program symbol holds them.
    uint32_t time = 0, xtime = 0, nbins = 0;

    SimTarget()
    {
        regs.report = &report;
        exec.time = &time;
        exec.nbins = &nbins;
    }
    SimTarget(const SimTarget&) = delete;
    SimTarget& operator=(const SimTarget&) = delete;

    CounterBindings counters() const { return {exec.time, &xtime, exec.nbins}; }
};

}  // namespace vek
