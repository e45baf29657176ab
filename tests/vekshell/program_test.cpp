// The vek program with its windows (offscreen) and without a display.
#include <gtest/gtest.h>

#include <QImage>

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "tests/scratch.h"

namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

// Runs vek in dir with the given environment prefix and arguments.
Outcome runvek(const qvtest::Scratch& dir, const std::string& env, const std::string& args, const std::string& input) {
    dir.write("stdin.txt", input);
    std::string cmd = "env " + env + " XDG_CONFIG_HOME=" + dir.dir().string() + " XDG_RUNTIME_DIR=" + dir.dir().string() + " " + VEK_PATH + " " + args +
                      " <stdin.txt >stdout.txt 2>stderr.txt";
    int raw = std::system(cmd.c_str());
    Outcome r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = dir.read("stdout.txt");
    r.err = dir.read("stderr.txt");
    return r;
}

std::string assemble(const qvtest::Scratch& dir) {
    std::string obj = (dir.dir() / "loop.o").string();
    std::string cmd = std::string(CAPPC_PATH) + " -a -o " + obj + " " + LOOP_SOURCE + " >/dev/null";
    return std::system(cmd.c_str()) == 0 ? obj : std::string();
}

// (options of env: the unsettings before the settings)
const std::string kOffscreen = "QT_QPA_PLATFORM=offscreen VEK_SCREENSHOT=shot.png";
const std::string kNoDisplay = "-u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM";

TEST(VekProgram, OpensItsWindowWithAProgramAndRunsTheStartFile) {
    qvtest::Scratch dir("vekprogram");
    std::string program = assemble(dir);
    ASSERT_FALSE(program.empty());
    dir.write("t.in", "break main.c:15\ngo\nregs\n");
    Outcome r = runvek(dir, kOffscreen, "-b -i t.in " + program, "");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir.read("shot.png").substr(1, 3), "PNG");
}

int bluepixels(const std::string& file) {
    QImage image(QString::fromStdString(file));
    int blue = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            QColor c = image.pixelColor(x, y);
            if (c.blue() > 200 && c.red() < 60 && c.green() < 60) ++blue;
        }
    return blue;
}

TEST(VekProgram, TheBannerShowsDuringStartUpUnlessMinusB) {
    qvtest::Scratch dir("vekprogram");
    Outcome r = runvek(dir, kOffscreen + " VEK_BANNERSHOT=banner.png", "", "");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_GT(bluepixels((dir.dir() / "banner.png").string()), 50);
    std::filesystem::remove(dir.dir() / "banner.png");
    r = runvek(dir, kOffscreen + " VEK_BANNERSHOT=banner.png", "-b", "");
    EXPECT_FALSE(dir.exists("banner.png"));
}

TEST(VekProgram, AQuitInTheStartFileEndsTheWindowedRun) {
    qvtest::Scratch dir("vekprogram");
    dir.write("q.in", "quit\n");
    Outcome r = runvek(dir, "QT_QPA_PLATFORM=offscreen", "-b -i q.in", "");
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST(VekProgram, WithoutADisplayOrWithMinusCItRunsInBatchMode) {
    qvtest::Scratch dir("vekprogram");
    std::string program = assemble(dir);
    ASSERT_FALSE(program.empty());
    for (const std::string& env : {kNoDisplay, kOffscreen}) {
        Outcome r = runvek(dir, env, (env == kOffscreen ? "-c " : "") + program, "regs\n");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("r0:"), std::string::npos) << r.out;
        EXPECT_FALSE(dir.exists("shot.png"));
    }
}

}  // namespace
