#include "platform/RegularFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr std::uint64_t kLimit = 1000;

// Reads path in a child process under an alarm, so that a read that blocks
// fails the test instead of hanging it. The child's exit code says whether
// the file was taken as absent with a cause naming expectedCause.
::testing::AssertionResult AbsentPromptly(const std::string& path, const std::string& expectedCause)
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(20);
        std::string contents;
        std::string cause;
        const bool read = ReadRegularFile(path, kLimit, contents, &cause);
        const bool named = cause.find(expectedCause) != std::string::npos;
        ::_exit(read ? 1 : !contents.empty() ? 2 : !named ? 3 : 0);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child)
        return ::testing::AssertionFailure() << "no child to read " << path;
    if (WIFSIGNALED(status))
        return ::testing::AssertionFailure() << "reading " << path << " blocked (signal " << WTERMSIG(status) << ")";
    switch (WEXITSTATUS(status)) {
    case 0:
        return ::testing::AssertionSuccess();
    case 1:
        return ::testing::AssertionFailure() << path << " was read";
    case 2:
        return ::testing::AssertionFailure() << path << " left contents behind";
    default:
        return ::testing::AssertionFailure() << path << ": the cause does not name '" << expectedCause << "'";
    }
}

} // namespace

TEST(RegularFile, ReadsARegularFileWholeAndUpToTheLimit)
{
    TempDir folder;
    const std::string text(kLimit, 'k');
    std::string contents;
    ASSERT_TRUE(ReadRegularFile(folder.Write("exact", text), kLimit, contents));
    EXPECT_EQ(contents, text);
    ASSERT_TRUE(ReadRegularFile(folder.Write("empty", ""), kLimit, contents));
    EXPECT_TRUE(contents.empty());

    // Through a link to a regular file too.
    ASSERT_EQ(::symlink(folder.Path("exact").c_str(), folder.Path("link").c_str()), 0);
    ASSERT_TRUE(ReadRegularFile(folder.Path("link"), kLimit, contents));
    EXPECT_EQ(contents.size(), kLimit);

    const int fd = OpenRegularFile(folder.Path("exact"), kLimit);
    EXPECT_GE(fd, 0);
    ::close(fd);
}

TEST(RegularFile, AMissingFileIsAbsentWithoutACause)
{
    TempDir folder;
    std::string contents = "stale";
    std::string cause = "stale";
    EXPECT_FALSE(ReadRegularFile(folder.Path("missing"), kLimit, contents, &cause));
    EXPECT_TRUE(contents.empty());
    EXPECT_TRUE(cause.empty());
    EXPECT_FALSE(ReadRegularFile(folder.Path("missing/below"), kLimit, contents, &cause));
    EXPECT_TRUE(cause.empty());
}

TEST(RegularFile, AnythingElseIsAbsentWithoutBlocking)
{
    TempDir folder;
    ASSERT_EQ(::mkfifo(folder.Path("fifo").c_str(), 0600), 0);
    ASSERT_EQ(::symlink(folder.Path("fifo").c_str(), folder.Path("fifo-link").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/zero", folder.Path("zero").c_str()), 0);
    ASSERT_EQ(::mkdir(folder.Path("folder").c_str(), 0700), 0);
    folder.Write("huge", std::string(kLimit + 1, 'k'));

    EXPECT_TRUE(AbsentPromptly(folder.Path("fifo"), "FIFO"));
    EXPECT_TRUE(AbsentPromptly(folder.Path("fifo-link"), "FIFO"));
    EXPECT_TRUE(AbsentPromptly(folder.Path("zero"), "character device"));
    EXPECT_TRUE(AbsentPromptly(folder.Path("folder"), "folder"));
    EXPECT_TRUE(AbsentPromptly(folder.Path("huge"), "larger than 1000 bytes"));
    EXPECT_EQ(OpenRegularFile(folder.Path("fifo"), kLimit), -1);
}

TEST(RegularFile, AnUnreadableFileNamesTheSystemsReason)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads any file";
    TempDir folder;
    const std::string path = folder.Write("locked", "x");
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    EXPECT_TRUE(AbsentPromptly(path, "Permission denied"));
}
