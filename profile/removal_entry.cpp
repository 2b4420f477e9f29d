#include "profile/removal_entry.hpp"

namespace {

// What a program may set on an existing entry; the rest (folder, reparse
// point, compression, encryption) belongs to the file system.
constexpr std::uint32_t settable = file_attribute::readonly | file_attribute::hidden | file_attribute::system |
                                   file_attribute::archive | file_attribute::temporary | file_attribute::offline |
                                   file_attribute::not_content_indexed;

std::uint32_t as_set(std::uint32_t attributes)
{
    const std::uint32_t kept = attributes & settable;
    return kept != 0 ? kept : file_attribute::normal;
}

} // namespace

bool is_link(std::uint32_t attributes, std::uint32_t tag)
{
    // Tag 0 is reserved and names no owner.
    if (!(attributes & file_attribute::reparse_point)) return false;
    return tag == 0 || (tag & name_surrogate_tag_bit) != 0;
}

EntryAction entry_action(const EntryFacts& facts)
{
    if (!facts.at_own_name) return EntryAction::leave;
    if (is_link(facts.attributes, facts.reparse_tag) ||
        (facts.listed && is_link(facts.listed_attributes, facts.listed_reparse_tag)))
        return EntryAction::remove;
    const bool folder = (facts.attributes & file_attribute::directory) != 0;
    if (facts.listed && folder != ((facts.listed_attributes & file_attribute::directory) != 0))
        return EntryAction::leave;
    return folder ? EntryAction::enter : EntryAction::remove;
}

std::uint32_t attributes_for_delete(std::uint32_t attributes)
{
    if (!(attributes & file_attribute::readonly)) return 0;
    return as_set(attributes & ~file_attribute::readonly);
}

std::uint32_t attributes_to_restore(std::uint32_t attributes)
{
    return as_set(attributes);
}
