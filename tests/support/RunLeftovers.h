#pragma once
// What runs left in the cache folder: their work folders and their records,
// not the trace that the program keeps there on purpose.

#include "platform/Paths.h"
#include "platform/RunSweep.h"

#include <filesystem>
#include <string>
#include <vector>

inline std::vector<std::string> RunLeftovers()
{
    std::vector<std::string> left;
    std::error_code ignored;
    for (const std::string& folder : {GetCacheFolder(), RunRecordFolder()})
        for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
            if (entry.path().filename() != "runs" && entry.path().filename().string().rfind("trace.log", 0) != 0)
                left.push_back(entry.path().string());
    return left;
}
