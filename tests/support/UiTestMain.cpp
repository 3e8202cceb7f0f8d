#include "platform/UiThread.h"

#include <QApplication>
#include <gtest/gtest.h>

// A test's run ends the UI thread's service to jobs; the next test has it again.
struct UiServedForEachTest : testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { SetUiThread(); }
};

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new UiServedForEachTest);
    return RUN_ALL_TESTS();
}
