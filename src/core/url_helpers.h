#pragma once
#include <string>
#include <string_view>

namespace norvane {

// A `u` parameter as a URL: a gateway address without "://" is made absolute on this
// program's own port ("localhost" for htr.xml, the host's own address for scrap.xml).
std::string CompleteLocalURL(const std::string& u);

// The current time in RFC 1123 form, e.g. "Sun, 06 Nov 1994 08:49:37 GMT".
std::string HttpDateNow();
// A time in the same form.
std::string HttpDate(long long secondsSinceEpoch);

// Every byte but ASCII letters and digits becomes %XX (upper-case hex).
std::string EncodeURLParam(std::string_view text);
// Only the bytes an address may not hold as they are (controls, space, 0x7F and above)
// become %XX: an address with UTF-8 in it, as a browser sends it.
std::string EncodeAddressBytes(std::string_view address);

// Every occurrence of from replaced by to (left to right, not re-scanned).
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// The host's IPv4 address in dotted form; empty when the host name does not resolve.
std::string GetLocalAddress();

// Percent-decoding: "%" and two hex digits become that byte; an escape that is not two
// hex digits, or one of byte zero, is dropped (three characters consumed, fewer at the
// end of the text). "+" stays as it is.
std::string PercentDecode(std::string_view text);

// ASCII-only lower-casing, for route names.
std::string AsciiLower(std::string_view text);
// Equal but for ASCII letter case (header, INI section and key names).
bool SameAsciiName(std::string_view a, std::string_view b);

// Standard percent-decoding, as the HTTP engine does it: a valid escape becomes its
// byte, anything else stays as it is.
std::string PercentDecodeKeep(std::string_view text);

}  // namespace norvane
