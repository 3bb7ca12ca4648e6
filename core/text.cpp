#include "core/text.h"

#include <cstdio>

namespace basin {
namespace {

// Length of the valid UTF-8 sequence that starts at text[at], or 0. The
// second byte's range depends on the lead byte: that is what rules out
// overlong forms, the UTF-16 surrogates and code points past U+10FFFF.
std::size_t utf8Length(const std::string& text, std::size_t at) {
  const unsigned char lead = text[at];
  std::size_t n = 0;
  unsigned char low = 0x80, high = 0xBF;  // of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) n = 2;
  if (lead >= 0xE0 && lead <= 0xEF) n = 3;
  if (lead >= 0xF0 && lead <= 0xF4) n = 4;
  if (lead == 0xE0) low = 0xA0;
  if (lead == 0xED) high = 0x9F;
  if (lead == 0xF0) low = 0x90;
  if (lead == 0xF4) high = 0x8F;
  if (n == 0 || at + n > text.size()) return 0;
  const unsigned char second = static_cast<unsigned char>(text[at + 1]);
  if (second < low || second > high) return 0;
  for (std::size_t i = 2; i < n; ++i)
    if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return 0;
  return n;
}

// The code point of the valid n-byte sequence at text[at].
char32_t codePoint(const std::string& text, std::size_t at, std::size_t n) {
  static const unsigned char LEAD_BITS[5] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  char32_t point = static_cast<unsigned char>(text[at]) & LEAD_BITS[n];
  for (std::size_t i = 1; i < n; ++i) point = (point << 6) | (text[at + i] & 0x3F);
  return point;
}

// Characters that take no room of their own and yet change what a line
// shows or how it reads: Unicode's format characters (a byte-order mark, a
// zero-width space, the direction marks and overrides, the tags), the
// soft hyphen and the line and paragraph separators. Quoted, they would
// hide what the user typed.
bool invisible(char32_t c) {
  static const char32_t RANGES[][2] = {
      {0x00AD, 0x00AD},   {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},
      {0x070F, 0x070F},   {0x08E2, 0x08E2},   {0x180E, 0x180E},   {0x200B, 0x200F},
      {0x2028, 0x202E},   {0x2060, 0x2064},   {0x2066, 0x206F},   {0xFEFF, 0xFEFF},
      {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD}, {0x110CD, 0x110CD}, {0x13430, 0x1343F},
      {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001}, {0xE0020, 0xE007F},
  };
  for (const auto& range : RANGES)
    if (c >= range[0] && c <= range[1]) return true;
  return false;
}

}  // namespace

std::string shortestDigits(double value, Precision precision) {
  char text[40];
  for (int digits = 1; digits <= significantDigits(precision); ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, value + 0.0);
    if (readStored(text, nullptr, precision) == value) break;
  }
  return text;
}

std::string escaped(const std::string& text) {
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    const unsigned char c = text[at];
    const std::size_t n = c < 0x80 ? 1 : utf8Length(text, at);
    const bool c1 = c == 0xC2 && n == 2 && static_cast<unsigned char>(text[at + 1]) < 0xA0;
    if (n == 0 || c < 0x20 || c == 0x7F || c1) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
      at += 1;
    } else if (n > 1 && invisible(codePoint(text, at, n))) {
      char name[12];
      std::snprintf(name, sizeof name, "\\u{%04X}", unsigned(codePoint(text, at, n)));
      out += name;
      at += n;
    } else {
      out.append(text, at, n);
      at += n;
    }
  }
  return out;
}

}  // namespace basin
