#pragma once

// What the removal does with one entry it has opened, decided from what the
// entry's own handle and its parent's listing say about it.

#include <cstdint>

// The file attribute bits that the decisions look at, with the system's values.
namespace file_attribute {
constexpr std::uint32_t readonly = 0x1;
constexpr std::uint32_t hidden = 0x2;
constexpr std::uint32_t system = 0x4;
constexpr std::uint32_t directory = 0x10;
constexpr std::uint32_t archive = 0x20;
constexpr std::uint32_t normal = 0x80;
constexpr std::uint32_t temporary = 0x100;
constexpr std::uint32_t reparse_point = 0x400;
constexpr std::uint32_t offline = 0x1000;
constexpr std::uint32_t not_content_indexed = 0x2000;
} // namespace file_attribute

// A reparse tag with this bit is a name surrogate: the entry stands for
// another named entity (a symbolic link, a junction, a mount point). Other
// tags (cloud files, data deduplication, compression, projected folders) mark
// a file or folder whose data a driver keeps, and which is what it seems.
constexpr std::uint32_t name_surrogate_tag_bit = 0x20000000;

struct EntryFacts {
    // The handle's own path is its parent's path and this entry's name. A
    // file system that follows a link although told not to (Wine with a
    // link made on the host) gives a handle to the target, whose path lies
    // elsewhere: nothing may be done through such a handle.
    bool at_own_name = false;
    std::uint32_t attributes = 0; // asked of the entry's handle
    bool listed = false;          // the entry came from its parent's listing
    std::uint32_t listed_attributes = 0;
    std::uint32_t reparse_tag = 0;        // the handle's, meaningful with the reparse point attribute
    std::uint32_t listed_reparse_tag = 0; // the listing's, likewise
};

// Whether attributes and a reparse tag describe a link: a name surrogate,
// or a reparse point without a tag, since nothing tells what it stands for.
bool is_link(std::uint32_t attributes, std::uint32_t tag);

enum class EntryAction {
    enter,  // a folder: its entries go first, then the folder itself
    remove, // a file, or a link of any kind, which goes itself and is never entered
    leave,  // not what it seemed, or not reached safely: untouched
};

// A link (a reparse point whose tag is a name surrogate: symbolic link,
// junction, mount point) is never entered, whichever of the handle and the
// listing says so; nor is a reparse point without a tag (Wine shows a link
// made on the host so), since nothing tells what it stands for. A folder
// with any other tag (a cloud provider's, ProjFS) holds its own entries and
// is entered like a plain one; a file with any tag goes itself (Wine has no
// such tags: docs/windows-checklist.md has the check). An entry
// that turned from folder to file or back between the listing and the open
// is left.
EntryAction entry_action(const EntryFacts& facts);

// The attributes to give an entry for a delete that refuses read-only items,
// or 0 when none need changing. Only the bits that can be set are kept; with
// none left the entry gets "normal", since 0 would mean "no change" to the system.
std::uint32_t attributes_for_delete(std::uint32_t attributes);

// The attributes that put an entry back as it was, after a delete that
// cleared its read-only bit: needed whether the delete failed (the entry
// stays) or not (a hard link's other names share the attributes).
std::uint32_t attributes_to_restore(std::uint32_t attributes);
