// The eight lists of extension callbacks.
//
// New registrations go to the head, so the newest fires first. Removal only
// marks a node; the next firing of its list unlinks and frees it, so a list
// is never changed under a walk and a callback may register or unregister
// while its list fires (a node added during a walk is not reached by it).
#pragma once

#include <cstdint>

namespace vek {

using CycleFn = void (*)(uint32_t cycles);
using CycleParamFn = void (*)(uint32_t cycles, uint32_t param);
using LoadFn = void (*)(const char* path, int32_t loaded);      // 0 before, 1 after
using EventFn = void (*)(int32_t number);
using ResetFn = void (*)(int32_t zero);
using StatusFn = void (*)(int32_t running);
using SessionFn = void (*)(const char* path, int32_t read);     // 1 read, 0 written
using UpdateFn = void (*)(int32_t what);                        // 1 regs, 2 memory, 4 data
using MemHookFn = void (*)(uint32_t address, uint32_t size, uint32_t access, uint32_t userdata);

struct CycleCallback {
    CycleCallback* next = nullptr;
    int removed = 0;
    int hasparam = 0;
    uint32_t param = 0;
    CycleFn fn = nullptr;
    CycleParamFn paramfn = nullptr;
};

// One node type for the six notify lists; fn holds the list's own type.
struct NotifyCallback {
    NotifyCallback* next = nullptr;
    int removed = 0;
    void (*fn)() = nullptr;
};

struct MemoryHook {
    MemoryHook* next = nullptr;
    uint32_t start = 0;
    uint32_t end = 0;      // exclusive (may wrap past 0); start == end means every address
    uint32_t userdata = 0;
    uint32_t mask = 0;     // bit 0 read, bit 1 write
    int removed = 0;
    MemHookFn fn = nullptr;

    // Whether the hook applies to an access (kind 1 read, 2 write).
    bool applies(uint32_t address, uint32_t kind) const;
};

struct CallbackLists {
    CycleCallback* cycle = nullptr;
    NotifyCallback* load = nullptr;
    NotifyCallback* event = nullptr;
    NotifyCallback* reset = nullptr;
    NotifyCallback* status = nullptr;
    NotifyCallback* session = nullptr;
    NotifyCallback* update = nullptr;
    MemoryHook* memhook = nullptr;

    CallbackLists() = default;
    CallbackLists(const CallbackLists&) = delete;
    CallbackLists& operator=(const CallbackLists&) = delete;
    ~CallbackLists();
};

// The lists; resetcallbacks frees every node and starts empty.
CallbackLists& cblists();
void resetcallbacks();
void initcbs();

// Registration returns the new node as the handle.
void* RegisterCBFunction(CycleFn fn);
void* RegisterCBParamFunction(CycleParamFn fn, uint32_t param);
void* RegisterLoadFunction(LoadFn fn);
void* RegisterEventFunction(EventFn fn);
void* RegisterResetFunction(ResetFn fn);
void* RegisterStatusFunction(StatusFn fn);
void* RegisterSessionFunction(SessionFn fn);
void* RegisterUpdateFunction(UpdateFn fn);
void* RegisterMemHook(uint32_t start, uint32_t length, uint32_t mask, uint32_t userdata, MemHookFn fn);

// Mark the node of that handle removed; an unknown handle changes nothing.
void UnRegisterCBFunction(void* handle);
void UnRegisterMemHook(void* handle);
// Mark every node of the list removed (every extension's).
void UnRegisterLoadFunction();
void UnRegisterEventFunction();
void UnRegisterResetFunction();
void UnRegisterStatusFunction();
void UnRegisterSessionFunction();
void UnRegisterUpdateFunction();

// The count passed to the cycle callbacks is the value of ".time" (0 when
// that symbol is not defined).
void firecyclecbs();
void fireloadcbs(const char* path, int32_t loaded);
void fireeventcbs(int32_t number);
void fireresetcbs();
void firestatuscbs(int32_t running);
void firesessioncbs(const char* path, int32_t read);
void fireupdatecbs(int32_t what);
// Calls the live hooks that apply to the access (no part of the debugger
// calls this yet; simulated memory may).
void firememhooks(uint32_t address, uint32_t size, uint32_t kind);

}  // namespace vek
