#pragma once
// A source list held in a vector, standing in for the file list page's.

#include "core/ConversionSettings.h"

#include <string>
#include <vector>

class StringSourceList final : public SourceList {
public:
    std::vector<std::string> items;
    int GetCount() const override { return static_cast<int>(items.size()); }
    std::string GetText(int index) const override { return items.at(static_cast<size_t>(index)); }
};
