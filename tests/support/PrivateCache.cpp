// Every test process keeps the program's cache folder (the records of runs,
// the work folders of runs whose output folder is shared) in a folder of its
// own, never in the user's ~/.cache; the programs it starts inherit it, and
// so does a test process it starts.

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

class PrivateCache : public testing::Environment {
public:
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
        if (!folder_)
            return;
        folder_.reset();
        ::unsetenv(kInherited);
    }

private:
    static constexpr const char* kInherited = "KANDRIX_TEST_CACHE_INHERITED";
    std::unique_ptr<TempDir> folder_;
};

[[maybe_unused]] testing::Environment* const g_privateCache = testing::AddGlobalTestEnvironment(new PrivateCache);

} // namespace
