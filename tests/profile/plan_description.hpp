#pragma once

// Plans as readable lines, so that a failing comparison shows the whole plan.

#include "profile/removal_plan.hpp"

#include <string>
#include <vector>

inline std::vector<std::wstring> describe(const RemovalPlan& plan)
{
    std::vector<std::wstring> lines;
    for (const PathRemoval& removal : plan)
        lines.push_back((removal.method == RemovalMethod::file ? L"file " : L"tree ") + removal.path);
    return lines;
}
