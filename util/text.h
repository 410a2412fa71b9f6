// Conversions between UTF-8 (what the platforms send), wide text (16-bit units,
// what the dialog's controls hold) and GBK (code page 936, what travels inside
// the program), plus a few small text helpers shared by the clients and the
// dialog.
//
// Every function is pure: it keeps no state, names its code page itself and
// never touches the process locale, so any thread may call any of them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace util {

// UTF-8 up to the first NUL to wide text. Only the Basic Multilingual Plane is
// represented: a character above U+FFFF is decoded and left out (never folded
// onto an unrelated BMP character), and a truncated sequence at the end or a
// byte that cannot start a sequence is skipped.
std::u16string utf8ToWide(std::string_view utf8);

// Wide text to GBK. A character GBK cannot represent is skipped; the text
// stops at its first zero unit.
std::string wideToLocal(std::u16string_view wide);

// GBK to wide text. An invalid byte is skipped and the bytes after it are
// converted; the text stops at its first zero unit.
std::u16string localToWide(std::string_view gbk);

// UTF-8 to GBK: wideToLocal(utf8ToWide(text)).
std::string utf8ToLocal(std::string_view utf8);

// GBK to UTF-8, for the places where a text leaves the program: native paths,
// the headless log, Qt strings.
std::string localToUtf8(std::string_view gbk);

// Wide text to UTF-8 (surrogate pairs joined, lone surrogates skipped).
std::string wideToUtf8(std::u16string_view wide);

// Decimal prefix of a text: leading spaces and tabs, an optional sign, digits.
// 0 when no digit follows; saturates at the 32-bit limits.
std::int32_t parseDecimal(std::string_view text);
std::int32_t parseDecimal(const char* text);

// Percent-decoding: "%" and two hex digits (either case) give one byte, "+" a
// space; everything else, a "%" without two hex digits after it included, is
// copied.
std::string urlDecode(std::string_view text);

// Copy without the C locale's white space (space, \t, \n, \v, \f, \r) at both ends.
std::string trimCopy(std::string_view text);

// Folds GBK full-width ASCII forms (0xA3 xx) to ASCII and the full-width space
// (0xA1 0xA1) to a space; every other double-byte character is kept whole.
std::string fullWidthToHalfWidth(std::string_view gbk);

}  // namespace util
