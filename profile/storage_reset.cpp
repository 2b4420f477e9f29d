#include "profile/storage_reset.hpp"

#include <vector>

namespace {

struct KindItem {
    const wchar_t* path;
    RemovalMethod method;
};

struct StorageKind {
    const char* name;
    std::vector<KindItem> items;
};

constexpr const char* cache_storage = "cache_storage";
constexpr const char* service_workers = "service_workers";

const std::vector<StorageKind>& storage_kinds()
{
    using M = RemovalMethod;
    static const std::vector<StorageKind> kinds = {
        // Each journal right after its database, which it must not outlive.
        {"cookies",
         {{L"Default\\Cookies", M::file},
          {L"Default\\Cookies-journal", M::journal},
          {L"Default\\Network\\Cookies", M::file},
          {L"Default\\Network\\Cookies-journal", M::journal}}},
        {"file_systems", {{L"Default\\File System", M::tree}}},
        {"indexeddb", {{L"Default\\IndexedDB", M::tree}}},
        {"local_storage", {{L"Default\\Local Storage", M::tree}}},
        // Two of the GPU caches belong to the whole profile directory, not to the default profile.
        {"shader_cache",
         {{L"ShaderCache", M::tree}, {L"GraphiteDawnCache", M::tree}, {L"Default\\GPUCache", M::tree}}},
        {"websql", {{L"Default\\databases", M::tree}}},
        {service_workers, {{L"Default\\Service Worker", M::tree}}},
        {cache_storage, {{L"Default\\Service Worker\\CacheStorage", M::tree}}},
        {"interest_groups", {{L"Default\\InterestGroups", M::tree}}},
        {"shared_storage", {{L"Default\\Shared Storage", M::file}, {L"Default\\Shared Storage-journal", M::journal}}},
        {"storage_buckets", {{L"Default\\StorageBuckets", M::tree}}},
    };
    return kinds;
}

} // namespace

bool IsFlagSet(const FlagMap& storage_reset, const std::string& name)
{
    const auto found = storage_reset.find(name);
    return found != storage_reset.end() && found->second;
}

RemovalPlan storage_reset_plan(const FlagMap& storage_reset)
{
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
        for (const KindItem& item : kind.items) plan.push_back({item.path, item.method, name});
    }
    return plan;
}
