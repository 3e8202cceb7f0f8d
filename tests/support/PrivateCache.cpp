// Every test process keeps the program's cache folder (records of runs, work
// folders of runs whose output folder is shared) in a folder of its own,
// never in the user's ~/.cache. The programs it starts inherit it, and so
// does a test process it starts.

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

constexpr const char* kInherited = "KANDRIX_TEST_CACHE_INHERITED";

class PrivateCache : public testing::Environment {
    void SetUp() override
    {
        if (std::getenv(kInherited))
            return;
        folder_ = std::make_unique<TempDir>();
        ::setenv("XDG_CACHE_HOME", folder_->Path("cache").c_str(), 1);
        ::setenv(kInherited, "1", 1);
    }
    void TearDown() override
    {
        if (folder_)
            ::unsetenv(kInherited);
        folder_.reset();
    }

    std::unique_ptr<TempDir> folder_;
};

[[maybe_unused]] testing::Environment* const g_privateCache = testing::AddGlobalTestEnvironment(new PrivateCache);

} // namespace
