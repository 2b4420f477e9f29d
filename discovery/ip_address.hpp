#pragma once

// Whether a text is an IP address as a geo-IP service would write one.

#include <string>

// A dotted-quad IPv4 address (four decimal parts 0-255, "0" the only part that
// may start with 0, since some readers take such parts as octal) or an IPv6
// address in one of its RFC 4291 text forms: eight groups of 1-4 hex digits,
// a run of zero groups written once as "::", and the last two groups possibly
// written as a dotted quad. Nothing around it: no blank, sign, zone index
// ("%eth0") or brackets.
bool is_ip_address(const std::string& text);
