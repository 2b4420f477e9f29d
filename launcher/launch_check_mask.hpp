#pragma once

// The launch check shows no secret: a proxy's password becomes "***", its
// user and host stay.

#include <string>

// `text` with the password of `proxy_server` (the settings' value, in any
// scheme) masked wherever the value, or its "user:password@", stands in it,
// and with the password of every other "scheme://user:password@" that stands
// in it up to a blank or a double quote masked too (a proxy switch among the
// engine's arguments, say).
std::string mask_proxy_password(const std::string& text, const std::string& proxy_server);
