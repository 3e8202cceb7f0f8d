// Every test process keeps the program's cache folder (the records of runs,
// the work folders of runs whose output folder is shared) in a folder of its
// own, never in the user's ~/.cache; the programs it starts inherit it.

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

class PrivateCache : public testing::Environment {
public:
    void SetUp() override
    {
        folder_ = std::make_unique<TempDir>();
        ::setenv("XDG_CACHE_HOME", folder_->Path("cache").c_str(), 1);
    }
    void TearDown() override { folder_.reset(); }

private:
    std::unique_ptr<TempDir> folder_;
};

[[maybe_unused]] testing::Environment* const g_privateCache = testing::AddGlobalTestEnvironment(new PrivateCache);

} // namespace
