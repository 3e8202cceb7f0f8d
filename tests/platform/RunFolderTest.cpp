// Where a run's work folder may be made, and what it refuses.

#include "platform/RunFolder.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

TEST(RunFolderTest, PrivateInAPrivateOutputFolderElseInTheCacheAndNeverInAnotherWritableOne)
{
    TempDir temp;
    const std::string own = temp.Path("own/"), shared = temp.Path("shared/"), cache = temp.Path("cache/");
    ScopedEnv cacheHome("XDG_CACHE_HOME", cache);
    ASSERT_EQ(::mkdir(own.c_str(), 0700) | ::mkdir(shared.c_str(), 0700) | ::chmod(shared.c_str(), 01777), 0);
    for (const auto& [output, base] : {std::pair{own, own}, std::pair{shared, cache + "kandrix/"}}) {
        std::string error;
        const std::shared_ptr<RunFolder> folder = RunFolder::Create(output, &error);
        ASSERT_NE(folder, nullptr) << error;
        EXPECT_EQ(folder->Path().rfind(base + ".kandrix-run-", 0), 0u) << folder->Path();
        struct stat info {};
        ASSERT_EQ(::stat(folder->Path().c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0700u);
        folder->Remove();
        EXPECT_NE(::stat(folder->Path().c_str(), &info), 0);
    }

    // A cache folder others can write in, or a link in its place, is refused.
    ASSERT_EQ(::chmod((cache + "kandrix").c_str(), 0777), 0);
    std::string error;
    EXPECT_EQ(RunFolder::Create(own, &error), nullptr);
    EXPECT_EQ(error, "Cannot make a work folder: The folder " + cache + "kandrix is not used: others can write in it");
    ::rename((cache + "kandrix").c_str(), (cache + "elsewhere").c_str());
    ASSERT_EQ(::symlink((cache + "elsewhere").c_str(), (cache + "kandrix").c_str()), 0);
    EXPECT_EQ(RunFolder::Create(own, &error), nullptr);
    EXPECT_EQ(error, "Cannot make a work folder: " + cache + "kandrix is not a folder (a link or a file has its name)");
}
