// Test main: a QApplication on the offscreen platform, so widget tests need no display.
#include "testsupport.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// Every test starts from the program-wide state of a fresh start.
class ResetStateListener final : public ::testing::EmptyTestEventListener
{
    void OnTestStart(const ::testing::TestInfo&) override { ResetProgramState(); }
};

} // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("TZ", "Asia/Shanghai", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new ResetStateListener);
    return RUN_ALL_TESTS();
}
