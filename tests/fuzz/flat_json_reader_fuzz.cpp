// Every read of the flat JSON reader on arbitrary bytes: none may crash or
// run away, and on texts short enough for std::regex each must return what
// the regular-expression search of its pattern returns.

#include "settings/flat_json_reader.hpp"
#include "tests/fuzz/fuzz_check.hpp"
#include "tests/settings/flat_json_reader_reference.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// Keys the launcher reads, a one-letter key the fuzzer finds quickly, a
// hyphenated one, and the empty key, whose pattern is a bare pair of quotes.
const std::vector<std::string> keys = {"k", "b-c", "", "ip", "start-page", "granular-storage-reset"};

// libstdc++ regex recursion stays shallow well past this length.
constexpr std::size_t longest_reference_text = 64;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::vector<Reference> references = [] {
        std::vector<Reference> built;
        for (const auto& key : keys) built.push_back(reference_for(key));
        return built;
    }();

    const std::string text(reinterpret_cast<const char*>(data), size);
    for (std::size_t k = 0; k < keys.size(); ++k) {
        const std::string& key = keys[k];
        const std::string string_value = read_string_field(text, key);
        const std::string scalar = read_scalar_field(text, key);
        const bool present = has_field(text, key);
        const bool flag = read_flag_field(text, key);
        const FlagMap flags = read_flag_object(text, key);

        // Any value at all means the key stands there with its colon.
        require(present || (string_value.empty() && scalar.empty() && flags.empty()), "a value without its key");
        require(flag == (scalar == "true" || scalar == "1"), "flag and scalar disagree");
        // Unescaping only ever shortens the run it came from.
        require(string_value.size() <= text.size() && scalar.size() <= text.size(), "a value longer than the text");

        if (size > longest_reference_text) continue;
        const Reference& reference = references[k];
        require(string_value == reference_string_field(text, reference), "read_string_field differs from the search");
        require(scalar == reference_scalar_field(text, reference), "read_scalar_field differs from the search");
        require(present == std::regex_search(text, reference.key), "has_field differs from the search");
        require(flags == reference_flag_object(text, reference.object), "read_flag_object differs from the search");
    }
    return 0;
}
