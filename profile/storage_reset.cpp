#include "profile/storage_reset.hpp"

#include <vector>

namespace {

enum class Base { default_folder, profile_directory };

struct StorageItem {
    Base base;
    const wchar_t* name;
};

struct StorageKind {
    const char* name;
    RemovalMethod method;
    std::vector<StorageItem> items;
};

constexpr const char* cache_storage = "cache_storage";
constexpr const char* service_workers = "service_workers";

const std::vector<StorageKind>& storage_kinds()
{
    static const std::vector<StorageKind> kinds = {
        {"cookies", RemovalMethod::file,
         {{Base::default_folder, L"\\Cookies"},
          {Base::default_folder, L"\\Cookies-journal"},
          {Base::default_folder, L"\\Network\\Cookies"},
          {Base::default_folder, L"\\Network\\Cookies-journal"}}},
        {"file_systems", RemovalMethod::tree, {{Base::default_folder, L"\\File System"}}},
        {"indexeddb", RemovalMethod::tree, {{Base::default_folder, L"\\IndexedDB"}}},
        {"local_storage", RemovalMethod::tree, {{Base::default_folder, L"\\Local Storage"}}},
        // Two of the GPU caches belong to the whole profile directory, not to the default profile.
        {"shader_cache", RemovalMethod::tree,
         {{Base::profile_directory, L"\\ShaderCache"},
          {Base::profile_directory, L"\\GraphiteDawnCache"},
          {Base::default_folder, L"\\GPUCache"}}},
        {"websql", RemovalMethod::tree, {{Base::default_folder, L"\\databases"}}},
        {service_workers, RemovalMethod::tree, {{Base::default_folder, L"\\Service Worker"}}},
        {cache_storage, RemovalMethod::tree, {{Base::default_folder, L"\\Service Worker\\CacheStorage"}}},
        {"interest_groups", RemovalMethod::tree, {{Base::default_folder, L"\\InterestGroups"}}},
        {"shared_storage", RemovalMethod::file,
         {{Base::default_folder, L"\\Shared Storage"}, {Base::default_folder, L"\\Shared Storage-journal"}}},
        {"storage_buckets", RemovalMethod::tree, {{Base::default_folder, L"\\StorageBuckets"}}},
    };
    return kinds;
}

} // namespace

bool IsFlagSet(const FlagMap& storage_reset, const std::string& name)
{
    const auto found = storage_reset.find(name);
    return found != storage_reset.end() && found->second;
}

RemovalPlan storage_reset_plan(const std::wstring& profile_directory, const FlagMap& storage_reset)
{
    if (!has_removable_profile(profile_directory) || storage_reset.empty()) return {};
    const std::wstring folder = default_profile_folder(profile_directory);
    const bool all = IsFlagSet(storage_reset, "all");
    bool service_worker_folder_goes = false;
    RemovalPlan plan;
    for (const StorageKind& kind : storage_kinds()) {
        const std::string name = kind.name;
        bool selected = all || IsFlagSet(storage_reset, name);
        // Its folder lies inside the service-worker folder ("all" included): on its own only when that one stays.
        if (name == cache_storage) selected = !service_worker_folder_goes && IsFlagSet(storage_reset, name);
        if (name == service_workers) service_worker_folder_goes = selected;
        if (!selected) continue;
        for (const StorageItem& item : kind.items) {
            const std::wstring& base = item.base == Base::default_folder ? folder : profile_directory;
            plan.push_back({base + item.name, kind.method});
        }
    }
    return plan;
}
