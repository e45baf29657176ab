// The extension callback lists.
//
// Every fire walks its list through a pointer to the previous link: a node
// marked removed is unlinked and freed on the way, a live one is called.
// Registering pushes at the head, which the running walk has passed, so a
// callback can register, unregister or fire other lists safely.
#include "vek/core/support/callbacks.h"

#include <memory>

#include "vek/core/support/symbols.h"

namespace vek {

namespace {

std::unique_ptr<CallbackLists> lists = std::make_unique<CallbackLists>();

template <class Node>
void freeall(Node*& head) {
    while (head) {
        Node* next = head->next;
        delete head;
        head = next;
    }
}

// How many walks are under way. A callback may fire a list again (its own
// or another) after marking nodes removed; only the outermost walk frees,
// so no walk further out is left holding a freed node or link.
int walking = 0;

struct WalkDepth {
    WalkDepth() { ++walking; }
    ~WalkDepth() { --walking; }
    WalkDepth(const WalkDepth&) = delete;
    WalkDepth& operator=(const WalkDepth&) = delete;
};

// Walks a list, dropping removed nodes and calling call(node) for live ones.
template <class Node, class Call>
void walk(Node*& head, Call call) {
    WalkDepth depth;
    const bool outermost = walking == 1;
    Node** link = &head;
    while (*link) {
        Node* node = *link;
        if (node->removed) {
            if (outermost) {
                *link = node->next;
                delete node;
            } else {
                link = &node->next;
            }
            continue;
        }
        call(*node);
        link = &node->next;
    }
}

template <class Node>
Node* push(Node*& head, Node* node) {
    node->next = head;
    head = node;
    return node;
}

template <class Fn>
void* pushnotify(NotifyCallback*& head, Fn fn) {
    auto* node = new NotifyCallback;
    node->fn = reinterpret_cast<void (*)()>(fn);
    return push(head, node);
}

template <class Node>
void markhandle(Node* head, void* handle) {
    for (Node* node = head; node; node = node->next)
        if (node == handle) node->removed = 1;
}

void markall(NotifyCallback* head) {
    for (NotifyCallback* node = head; node; node = node->next) node->removed = 1;
}

// Calls each live node of a notify list as the list's own function type.
template <class Fn, class... A>
void firenotify(NotifyCallback*& head, A... args) {
    walk(head, [&](NotifyCallback& node) { reinterpret_cast<Fn>(node.fn)(args...); });
}

}  // namespace

bool MemoryHook::applies(uint32_t address, uint32_t kind) const {
    if ((mask & kind) == 0) return false;
    // Unsigned distances: a range that runs over the top of the address
    // space (end wrapped past 0) still holds its addresses.
    return start == end || address - start < end - start;
}

CallbackLists::~CallbackLists() {
    freeall(cycle);
    freeall(load);
    freeall(event);
    freeall(reset);
    freeall(status);
    freeall(session);
    freeall(update);
    freeall(memhook);
}

CallbackLists& cblists() { return *lists; }
void resetcallbacks() { lists = std::make_unique<CallbackLists>(); }
void initcbs() {}

void* RegisterCBFunction(CycleFn fn) {
    auto* node = new CycleCallback;
    node->fn = fn;
    return push(lists->cycle, node);
}

void* RegisterCBParamFunction(CycleParamFn fn, uint32_t param) {
    auto* node = new CycleCallback;
    node->hasparam = 1;
    node->param = param;
    node->paramfn = fn;
    return push(lists->cycle, node);
}

void* RegisterLoadFunction(LoadFn fn) { return pushnotify(lists->load, fn); }
void* RegisterEventFunction(EventFn fn) { return pushnotify(lists->event, fn); }
void* RegisterResetFunction(ResetFn fn) { return pushnotify(lists->reset, fn); }
void* RegisterStatusFunction(StatusFn fn) { return pushnotify(lists->status, fn); }
void* RegisterSessionFunction(SessionFn fn) { return pushnotify(lists->session, fn); }
void* RegisterUpdateFunction(UpdateFn fn) { return pushnotify(lists->update, fn); }

void* RegisterMemHook(uint32_t start, uint32_t length, uint32_t mask, uint32_t userdata, MemHookFn fn) {
    auto* node = new MemoryHook;
    node->start = start;
    node->end = start + length;
    node->mask = mask;
    node->userdata = userdata;
    node->fn = fn;
    return push(lists->memhook, node);
}

void UnRegisterCBFunction(void* handle) { markhandle(lists->cycle, handle); }
void UnRegisterMemHook(void* handle) { markhandle(lists->memhook, handle); }
void UnRegisterLoadFunction() { markall(lists->load); }
void UnRegisterEventFunction() { markall(lists->event); }
void UnRegisterResetFunction() { markall(lists->reset); }
void UnRegisterStatusFunction() { markall(lists->status); }
void UnRegisterSessionFunction() { markall(lists->session); }
void UnRegisterUpdateFunction() { markall(lists->update); }

void firecyclecbs() {
    if (lists->cycle == nullptr) return;
    walk(lists->cycle, [](CycleCallback& node) {
        uint32_t cycles = countervalue(symtab().time);
        if (node.hasparam) {
            if (node.paramfn) node.paramfn(cycles, node.param);
        } else if (node.fn) {
            node.fn(cycles);
        }
    });
}

void fireloadcbs(const char* path, int32_t loaded) { firenotify<LoadFn>(lists->load, path, loaded); }
void fireeventcbs(int32_t number) { firenotify<EventFn>(lists->event, number); }
void fireresetcbs() { firenotify<ResetFn>(lists->reset, int32_t{0}); }
void firestatuscbs(int32_t running) { firenotify<StatusFn>(lists->status, running); }
void firesessioncbs(const char* path, int32_t read) { firenotify<SessionFn>(lists->session, path, read); }
void fireupdatecbs(int32_t what) { firenotify<UpdateFn>(lists->update, what); }

void firememhooks(uint32_t address, uint32_t size, uint32_t kind) {
    walk(lists->memhook, [&](MemoryHook& hook) {
        if (hook.fn && hook.applies(address, kind)) hook.fn(address, size, kind, hook.userdata);
    });
}

}  // namespace vek
