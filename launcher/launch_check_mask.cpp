#include "launcher/launch_check_mask.hpp"

namespace {

const std::string masked = "***";

struct UserInformation {
    std::size_t begin = 0;    // where the user starts
    std::size_t password = 0; // where the password starts, after the ':'
    std::size_t end = 0;      // at the '@' that ends it
};

// The user information of the URL whose "://" stands at `scheme_end`, within
// `span_end`: up to the last '@' there, as the launcher reads the proxy's
// host after the last '@'. False without an '@' or without a ':' before it.
bool user_information(const std::string& text, std::size_t scheme_end, std::size_t span_end, UserInformation& found)
{
    found.begin = scheme_end + 3;
    const std::size_t at = text.rfind('@', span_end == 0 ? 0 : span_end - 1);
    if (at == std::string::npos || at < found.begin) return false;
    const std::size_t colon = text.find(':', found.begin);
    if (colon == std::string::npos || colon > at) return false;
    found.password = colon + 1;
    found.end = at;
    return true;
}

void replace_all(std::string& text, const std::string& from, const std::string& to)
{
    if (from.empty()) return;
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// Every "scheme://user:password@" up to a blank or a double quote.
void mask_urls(std::string& text)
{
    for (std::size_t scheme_end = text.find("://"); scheme_end != std::string::npos;
         scheme_end = text.find("://", scheme_end + 3)) {
        std::size_t span_end = text.find_first_of(" \t\"", scheme_end + 3);
        if (span_end == std::string::npos) span_end = text.size();
        UserInformation found;
        if (!user_information(text, scheme_end, span_end, found)) continue;
        const std::size_t length = found.end - found.password;
        if (length > 0 && text.compare(found.password, length, masked) != 0)
            text.replace(found.password, length, masked);
    }
}

} // namespace

std::string mask_proxy_password(const std::string& text, const std::string& proxy_server)
{
    std::string shown = text;
    const std::size_t scheme_end = proxy_server.find("://");
    UserInformation found;
    if (scheme_end != std::string::npos && user_information(proxy_server, scheme_end, proxy_server.size(), found) &&
        found.end > found.password) {
        // The value as a whole first: its password may hold blanks, quotes or '@'.
        std::string value = proxy_server;
        value.replace(found.password, found.end - found.password, masked);
        replace_all(shown, proxy_server, value);
        replace_all(shown, proxy_server.substr(found.begin, found.end + 1 - found.begin),
                    proxy_server.substr(found.begin, found.password - found.begin) + masked + "@");
    }
    mask_urls(shown);
    return shown;
}
