"""A profile holding every item the launcher may remove, plus look-alikes that
it must leave alone."""

SESSION_FILES = ["Default/Current Tabs", "Default/Current Session", "Default/Last Tabs", "Default/Last Session"]
STORAGE_FILES = ["Default/Cookies", "Default/Cookies-journal", "Default/Network/Cookies",
                 "Default/Network/Cookies-journal", "Default/Shared Storage", "Default/Shared Storage-journal"]
STORAGE_FOLDERS = ["Default/File System", "Default/IndexedDB", "Default/Local Storage", "ShaderCache",
                   "GraphiteDawnCache", "Default/GPUCache", "Default/databases", "Default/Service Worker",
                   "Default/InterestGroups", "Default/StorageBuckets"]
KEPT = ["Default/Sessions2/keep", "Default/Cookies.bak", "Default/Preferences", "Default/Network/Trust Tokens",
        "GPUCache/keep", "Local State"]


def build(profile, session_files=200):
    """Creates every item; the Sessions folder gets many files so that removing
    it takes measurable time."""
    for name in SESSION_FILES + STORAGE_FILES + KEPT:
        path = profile / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(name)
    for name in STORAGE_FOLDERS:
        (profile / name / "nested" / "deeper").mkdir(parents=True, exist_ok=True)
        (profile / name / "nested" / "deeper" / "data").write_text(name)
    (profile / "Default/Service Worker/CacheStorage/entry").mkdir(parents=True, exist_ok=True)
    sessions = profile / "Default" / "Sessions"
    sessions.mkdir(parents=True, exist_ok=True)
    for i in range(session_files):
        (sessions / ("Session_%03d" % i)).write_text("tab")


def removed_items():
    return SESSION_FILES + ["Default/Sessions"] + STORAGE_FILES + STORAGE_FOLDERS


def present(files, name):
    """Whether the fake engine's listing holds the item."""
    return name in files


def snapshot(folder):
    """Every entry below `folder` by its relative name, with a file's bytes and
    every entry's mode: equal snapshots mean nothing was added, removed, renamed
    or changed."""
    return {str(path.relative_to(folder)): (path.read_bytes() if path.is_file() and not path.is_symlink() else None,
                                            path.lstat().st_mode)
            for path in sorted(folder.rglob("*"))}
