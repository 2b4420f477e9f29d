#pragma once

#include "common/records.hpp"
#include "profile/removal_plan.hpp"

#include <string>

// True when the map holds the name (compared byte for byte) with the value true.
bool IsFlagSet(const FlagMap& storage_reset, const std::string& name);

// The kinds of site storage selected in `storage_reset`, in their fixed order,
// each with its items in their fixed order. "all" selects every kind except
// "cache_storage", which lies inside the service-worker folder; that one is
// removed on its own only when the whole service-worker folder is not.
RemovalPlan storage_reset_plan(const FlagMap& storage_reset);
