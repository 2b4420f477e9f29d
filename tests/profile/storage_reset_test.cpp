#include "profile/storage_reset.hpp"

#include "plan_description.hpp"

#include <gtest/gtest.h>

namespace {

const std::vector<std::wstring> cookies = {
    L"file Default\\Cookies",
    L"journal Default\\Cookies-journal",
    L"file Default\\Network\\Cookies",
    L"journal Default\\Network\\Cookies-journal",
};
const std::vector<std::wstring> file_systems = {L"tree Default\\File System"};
const std::vector<std::wstring> indexeddb = {L"tree Default\\IndexedDB"};
const std::vector<std::wstring> local_storage = {L"tree Default\\Local Storage"};
const std::vector<std::wstring> shader_cache = {
    L"tree ShaderCache",
    L"tree GraphiteDawnCache",
    L"tree Default\\GPUCache",
};
const std::vector<std::wstring> websql = {L"tree Default\\databases"};
const std::vector<std::wstring> service_workers = {L"tree Default\\Service Worker"};
const std::vector<std::wstring> cache_storage = {L"tree Default\\Service Worker\\CacheStorage"};
const std::vector<std::wstring> interest_groups = {L"tree Default\\InterestGroups"};
const std::vector<std::wstring> shared_storage = {
    L"file Default\\Shared Storage",
    L"journal Default\\Shared Storage-journal",
};
const std::vector<std::wstring> storage_buckets = {L"tree Default\\StorageBuckets"};

std::vector<std::wstring> joined(std::initializer_list<std::vector<std::wstring>> parts)
{
    std::vector<std::wstring> lines;
    for (const auto& part : parts) lines.insert(lines.end(), part.begin(), part.end());
    return lines;
}

struct Selection {
    const char* label;
    FlagMap flags;
    std::vector<std::wstring> expected;
};

class StorageResetPlan : public testing::TestWithParam<Selection> {};

TEST_P(StorageResetPlan, RemovesTheSelectedKindsInTableOrder)
{
    EXPECT_EQ(describe(storage_reset_plan(GetParam().flags)), GetParam().expected);
}

const std::vector<std::wstring> every_kind_but_cache_storage =
    joined({cookies, file_systems, indexeddb, local_storage, shader_cache, websql, service_workers, interest_groups,
            shared_storage, storage_buckets});

INSTANTIATE_TEST_SUITE_P(
    Selections, StorageResetPlan,
    testing::Values(
        Selection{"cookies", {{"cookies", true}}, cookies},
        Selection{"file_systems", {{"file_systems", true}}, file_systems},
        Selection{"indexeddb", {{"indexeddb", true}}, indexeddb},
        Selection{"local_storage", {{"local_storage", true}}, local_storage},
        Selection{"shader_cache", {{"shader_cache", true}}, shader_cache},
        Selection{"websql", {{"websql", true}}, websql},
        Selection{"service_workers", {{"service_workers", true}}, service_workers},
        Selection{"cache_storage", {{"cache_storage", true}}, cache_storage},
        Selection{"interest_groups", {{"interest_groups", true}}, interest_groups},
        Selection{"shared_storage", {{"shared_storage", true}}, shared_storage},
        Selection{"storage_buckets", {{"storage_buckets", true}}, storage_buckets},
        Selection{"all", {{"all", true}}, every_kind_but_cache_storage},
        Selection{"all_overrides_false_names", {{"all", true}, {"cookies", false}, {"websql", false}},
                  every_kind_but_cache_storage},
        Selection{"all_with_cache_storage", {{"all", true}, {"cache_storage", true}}, every_kind_but_cache_storage},
        Selection{"cache_storage_inside_removed_service_workers",
                  {{"cache_storage", true}, {"service_workers", true}}, service_workers},
        Selection{"order_is_the_tables_not_the_maps",
                  {{"storage_buckets", true}, {"cookies", true}, {"shader_cache", true}, {"interest_groups", true}},
                  joined({cookies, shader_cache, interest_groups, storage_buckets})},
        Selection{"false_names_are_absent",
                  {{"cookies", false}, {"indexeddb", true}, {"websql", false}, {"all", false}}, indexeddb},
        Selection{"only_false", {{"cookies", false}}, {}},
        Selection{"empty_map", {}, {}},
        Selection{"names_are_case_sensitive", {{"Cookies", true}, {"ALL", true}}, {}},
        Selection{"hyphen_is_not_underscore", {{"local-storage", true}}, {}},
        Selection{"unknown_names_ignored",
                  {{"cache", true}, {"history", true}, {"", true}, {"all ", true}, {"websql", true}}, websql}),
    [](const testing::TestParamInfo<Selection>& info) { return std::string(info.param.label); });

TEST(IsFlagSet, OnlyAPresentTrueNameCounts)
{
    const FlagMap flags = {{"cookies", true}, {"websql", false}, {"Local_Storage", true}};
    EXPECT_TRUE(IsFlagSet(flags, "cookies"));
    EXPECT_FALSE(IsFlagSet(flags, "websql"));
    EXPECT_FALSE(IsFlagSet(flags, "indexeddb"));
    EXPECT_FALSE(IsFlagSet(flags, "local_storage"));
    EXPECT_FALSE(IsFlagSet(flags, "cookie"));
    EXPECT_FALSE(IsFlagSet({}, "cookies"));
}

} // namespace
