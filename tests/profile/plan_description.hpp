#pragma once

// Plans as readable lines, so that a failing comparison shows the whole plan.

#include "profile/removal_plan.hpp"

#include <string>
#include <vector>

inline std::vector<std::wstring> describe(const RemovalPlan& plan)
{
    std::vector<std::wstring> lines;
    for (const PathRemoval& removal : plan) {
        const wchar_t* method = removal.method == RemovalMethod::file      ? L"file "
                                : removal.method == RemovalMethod::journal ? L"journal "
                                                                           : L"tree ";
        lines.push_back(method + removal.path);
    }
    return lines;
}
