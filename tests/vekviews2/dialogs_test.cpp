// The memory windows' dialogs answered by the test: address, format, fill
// and dumps.
#include "datafixture.h"
#include "qtapp.h"
#include "vek/views/machinedialogs.h"
#include "vek/views/machinemodel/bind.h"

using namespace vek::views;

namespace {

struct Dialogs : DataFixture {
    ViewHost vhost;
    std::vector<std::string> errors;
    std::vector<std::vector<std::string>> answers;   // field texts per form, in order
    int forms = 0, refused = 0;
    void SetUp() override {
        DataFixture::SetUp();
        qtapp();
        formanswer() = [this](FormDialog& f) {
            ++forms;
            if (answers.empty()) return;   // Cancel
            const std::vector<std::string> a = answers.front();
            answers.erase(answers.begin());
            for (size_t i = 0; i < a.size(); ++i) f.setfield(int(i), QString::fromStdString(a[i]));
            if (!f.ok()) ++refused;
        };
    }
    void TearDown() override {
        formanswer() = nullptr;
        DataFixture::TearDown();
    }
    std::string command(MemoryView& v, int id) {
        return memcommand(*d, v, id, nullptr, [this](const std::string& e) { errors.push_back(e); });
    }
};

TEST_F(Dialogs, AddressFormatAndFill) {
    MemoryView v(vhost, memenv(*d), datawindow(0, 2, FmtHex, true));
    answers = {{"0x200"}};
    EXPECT_EQ(command(v, 361), "data:0x200");
    EXPECT_EQ(v.model().start, 0x200u);
    answers = {{"nosuch+"}};
    EXPECT_EQ(command(v, 361), "");
    EXPECT_EQ(refused, 1);
    EXPECT_EQ(v.model().start, 0x200u);
    answers = {{}};
    command(v, 362);
    answers = {{"1", "zz", "0x20"}};
    command(v, 363);
    EXPECT_EQ(refused, 2);
    EXPECT_NE(host.text.find("Wrong Start Address"), std::string::npos);
    answers = {{"0x5A", "0x50000000", "0x50000003"}};
    command(v, 363);
    EXPECT_EQ(getlong(0x50000000), 0x5A5A5A5Au);
}

TEST_F(Dialogs, Dumps) {
    for (uint32_t a = 0x100; a < 0x140; ++a) session->target.mem.putbyte(a, uint8_t(a));
    MemoryView v(vhost, memenv(*d), datawindow(0x100, 1, FmtHex, false));
    answers = {{"0x100", "0x120", "out.S19"}};
    command(v, 367);
    EXPECT_EQ(dir->read("out.S19"), srecdump(memenv(*d), 0x100, 0x120));
    answers = {{"0x100", "0x110", "out.mem"}};
    command(v, 364);
    EXPECT_EQ(dir->read("out.mem"), "00000100 00 01 02 03 04 05 06 07 \n00000108 08 09 0a 0b 0c 0d 0e 0f \n");
    answers = {{"0x100", "0x110", "no-such-dir/x.mem"}};
    command(v, 364);
    EXPECT_EQ(errors, std::vector<std::string>{"Can't write no-such-dir/x.mem"});
    answers = {{"0x1g", "0x110", "y.mem"}};
    command(v, 364);
    EXPECT_EQ(refused, 1);
    EXPECT_FALSE(dir->exists("y.mem"));
    d->flags.running = 1;
    forms = 0;
    command(v, 364);
    command(v, 367);
    EXPECT_EQ(forms, 0);   // nothing while running
    d->flags.running = 0;
}

}  // namespace
