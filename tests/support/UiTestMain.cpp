#include "platform/Job.h"
#include "platform/UiThread.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SetUiThread();
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    // A job some test left behind must not hang the exit in a send.
    ShutDownJobs(std::chrono::seconds(5));
    return result;
}
