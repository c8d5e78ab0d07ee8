// Test main: a QApplication on the offscreen platform, so widget tests need no display. Its screens
// are common desktop sizes: 1920 x 1080 (the primary), 1366 x 768, and 3840 x 2160 at 200 %.
#include "testsupport.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

namespace {

// The offscreen platform reads its screens from a file named in the platform's options; the names
// order the screens, the first being the primary.
std::string WriteScreenConfig()
{
    const char* tmp = std::getenv("TMPDIR");
    const std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/qb-test-screens-" + std::to_string(::getpid()) + ".json";
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (!file)
        return {};
    std::fputs(R"({"screens": [
  {"name": "a-1920x1080", "x": 0, "y": 0, "width": 1920, "height": 1080},
  {"name": "b-1366x768", "x": 1920, "y": 0, "width": 1366, "height": 768},
  {"name": "c-3840x2160-200", "x": 3286, "y": 0, "width": 3840, "height": 2160, "dpr": 2.0}
]})",
               file);
    std::fclose(file);
    return path;
}

} // namespace

namespace {

// Every test starts from the program-wide state of a fresh start.
class ResetStateListener final : public ::testing::EmptyTestEventListener
{
    void OnTestStart(const ::testing::TestInfo&) override { ResetProgramState(); }
};

} // namespace

int main(int argc, char** argv)
{
    const std::string screens = WriteScreenConfig();
    const std::string platform = screens.empty() ? "offscreen" : "offscreen:configfile=" + screens;
    ::setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
    ::setenv("TZ", "Asia/Shanghai", 0);
    QApplication app(argc, argv);
    if (!screens.empty())
        std::remove(screens.c_str());
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new ResetStateListener);
    return RUN_ALL_TESTS();
}
