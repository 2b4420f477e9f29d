#pragma once

// IP addresses as a geo-IP service writes them, and the one spelling the
// launcher passes on.

#include <string>

// The address in its one spelling, or empty when `text` is none. An address
// is a dotted-quad IPv4 address (four decimal parts 0-255, "0" the only part
// that may start with 0, since some readers take such parts as octal) or an
// IPv6 address in one of its RFC 4291 text forms: eight groups of 1-4 hex
// digits, a run of zero groups written once as "::", and the last two groups
// possibly written as a dotted quad. Nothing around it: no blank, sign, zone
// index ("%eth0") or brackets.
//
// An IPv4 address stays as written (its form admits no other); an IPv4-mapped
// IPv6 address (::ffff:0:0/96) becomes its IPv4 address, since a dual-stack
// service may answer an IPv4 client so; any other IPv6 address takes the
// RFC 5952 form: lower-case hex without leading zeros, and "::" for the
// longest run of two or more zero groups, the first on a tie.
std::string canonical_ip_address(const std::string& text);
