#include <string>
#include <vector>

#include "fixture.h"

namespace {

std::vector<std::string> calls;
void* selfhandle = nullptr;

void cycleA(uint32_t cycles) { calls.push_back("A" + std::to_string(cycles)); }
void cycleB(uint32_t cycles) { calls.push_back("B" + std::to_string(cycles)); }
void cycleP(uint32_t cycles, uint32_t param) {
    calls.push_back("P" + std::to_string(cycles) + "," + std::to_string(param));
}
void cycleSelfRemoving(uint32_t) {
    calls.push_back("S");
    vek::UnRegisterCBFunction(selfhandle);
}
void cycleRegistering(uint32_t) {
    calls.push_back("R");
    vek::RegisterCBFunction(cycleA);
}
void load(const char* path, int32_t flag) { calls.push_back(std::string("L") + path + std::to_string(flag)); }
void status1(int32_t on) { calls.push_back("s1:" + std::to_string(on)); }
void status2(int32_t on) { calls.push_back("s2:" + std::to_string(on)); }
void event(int32_t n) { calls.push_back("E" + std::to_string(n)); }
void reset(int32_t z) { calls.push_back("Z" + std::to_string(z)); }
void session(const char* path, int32_t flag) { calls.push_back(std::string("S") + path + std::to_string(flag)); }
void update(int32_t what) { calls.push_back("U" + std::to_string(what)); }
// Silences the update list and fires it again from inside its own walk.
void updateRefiring(int32_t what) {
    calls.push_back("R" + std::to_string(what));
    vek::UnRegisterUpdateFunction();
    vek::fireupdatecbs(what + 1);
}
void hook(uint32_t address, uint32_t size, uint32_t kind, uint32_t data) {
    calls.push_back("H" + std::to_string(address) + "," + std::to_string(size) + "," + std::to_string(kind) + "," +
                    std::to_string(data));
}

class Callbacks : public VekTest {
protected:
    void SetUp() override {
        VekTest::SetUp();
        calls.clear();
    }
    template <class Node>
    static int count(Node* head) {
        int n = 0;
        for (; head; head = head->next) ++n;
        return n;
    }
};

TEST_F(Callbacks, NewestFiresFirstWithTheCycleCounter) {
    vek::firecyclecbs();  // empty list: nothing happens
    vek::RegisterCBFunction(cycleA);
    vek::RegisterCBFunction(cycleB);
    vek::RegisterCBParamFunction(cycleP, 9);
    vek::defsym(".time", 41);
    vek::firecyclecbs();
    EXPECT_EQ(calls, (std::vector<std::string>{"P41,9", "B41", "A41"}));
    vek::delsym(".time");
    calls.clear();
    vek::firecyclecbs();
    EXPECT_EQ(calls, (std::vector<std::string>{"P0,9", "B0", "A0"}));
}

TEST_F(Callbacks, RemovalInsideACallbackOnlyMarks) {
    vek::RegisterCBFunction(cycleA);
    selfhandle = vek::RegisterCBFunction(cycleSelfRemoving);
    vek::firecyclecbs();
    EXPECT_EQ(calls, (std::vector<std::string>{"S", "A0"}));
    EXPECT_EQ(count(vek::cblists().cycle), 2);  // still there, marked
    EXPECT_EQ(static_cast<vek::CycleCallback*>(selfhandle)->removed, 1);
    calls.clear();
    vek::firecyclecbs();  // this walk frees it
    EXPECT_EQ(calls, (std::vector<std::string>{"A0"}));
    EXPECT_EQ(count(vek::cblists().cycle), 1);
    int unknown = 0;
    vek::UnRegisterCBFunction(&unknown);  // changes nothing
    EXPECT_EQ(count(vek::cblists().cycle), 1);
}

TEST_F(Callbacks, RegistrationDuringAWalkIsNotReachedByIt) {
    vek::RegisterCBFunction(cycleRegistering);
    vek::firecyclecbs();
    EXPECT_EQ(calls, (std::vector<std::string>{"R"}));
    calls.clear();
    vek::firecyclecbs();
    EXPECT_EQ(calls, (std::vector<std::string>{"A0", "R"}));
}

TEST_F(Callbacks, ListFiredAgainFromItsOwnCallback) {
    vek::RegisterUpdateFunction(update);
    vek::RegisterUpdateFunction(updateRefiring);
    vek::RegisterUpdateFunction(update);
    vek::fireupdatecbs(1);  // the inner walk skips the marked nodes and frees none
    EXPECT_EQ(calls, (std::vector<std::string>{"U1", "R1"}));
    EXPECT_EQ(count(vek::cblists().update), 2);  // the outer walk freed the one after it
    calls.clear();
    vek::fireupdatecbs(1);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(count(vek::cblists().update), 0);
}

TEST_F(Callbacks, NotifyListsWithTheirArguments) {
    vek::RegisterLoadFunction(load);
    vek::RegisterEventFunction(event);
    vek::RegisterResetFunction(reset);
    vek::RegisterSessionFunction(session);
    vek::RegisterUpdateFunction(update);
    vek::fireloadcbs("p.o", 0);
    vek::fireloadcbs("p.o", 1);
    vek::fireeventcbs(3);
    vek::fireresetcbs();
    vek::firesessioncbs("s.ses", 1);
    vek::fireupdatecbs(4);
    EXPECT_EQ(calls, (std::vector<std::string>{"Lp.o0", "Lp.o1", "E3", "Z0", "Ss.ses1", "U4"}));
}

TEST_F(Callbacks, UnregisterWithoutHandleSilencesEveryExtension) {
    vek::RegisterStatusFunction(status1);
    vek::RegisterStatusFunction(status2);
    vek::firestatuscbs(1);
    vek::UnRegisterStatusFunction();
    vek::firestatuscbs(0);
    EXPECT_EQ(calls, (std::vector<std::string>{"s2:1", "s1:1"}));
    EXPECT_EQ(count(vek::cblists().status), 0);
    struct {
        void (*unregister)();
        vek::NotifyCallback* vek::CallbackLists::*list;
    } lists[] = {
        {vek::UnRegisterLoadFunction, &vek::CallbackLists::load},
        {vek::UnRegisterEventFunction, &vek::CallbackLists::event},
        {vek::UnRegisterResetFunction, &vek::CallbackLists::reset},
        {vek::UnRegisterSessionFunction, &vek::CallbackLists::session},
        {vek::UnRegisterUpdateFunction, &vek::CallbackLists::update},
    };
    vek::RegisterLoadFunction(load);
    vek::RegisterEventFunction(event);
    vek::RegisterResetFunction(reset);
    vek::RegisterSessionFunction(session);
    vek::RegisterUpdateFunction(update);
    for (const auto& l : lists) {
        l.unregister();
        EXPECT_EQ((vek::cblists().*l.list)->removed, 1);
    }
}

TEST_F(Callbacks, MemoryHooksByRangeAndKind) {
    void* ranged = vek::RegisterMemHook(0x100, 0x10, 2, 7, hook);
    vek::RegisterMemHook(0x500, 0, 1, 8, hook);  // every address, reads
    vek::firememhooks(0x10F, 4, 2);
    vek::firememhooks(0x110, 4, 2);
    vek::firememhooks(0x9000, 1, 1);
    EXPECT_EQ(calls, (std::vector<std::string>{"H271,4,2,7", "H36864,1,1,8"}));
    vek::UnRegisterMemHook(ranged);
    calls.clear();
    vek::firememhooks(0x100, 4, 3);
    EXPECT_EQ(calls, (std::vector<std::string>{"H256,4,3,8"}));
    EXPECT_EQ(count(vek::cblists().memhook), 1);
    calls.clear();
    vek::RegisterMemHook(0xFFFFFF00u, 0x100, 1, 9, hook);  // up to the top of the address space
    vek::firememhooks(0xFFFFFFFCu, 4, 1);
    vek::firememhooks(0x10, 4, 2);
    EXPECT_EQ(calls, (std::vector<std::string>{"H4294967292,4,1,9", "H4294967292,4,1,8"}));
}

}  // namespace
