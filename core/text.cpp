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

}  // namespace

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
    } else {
      out.append(text, at, n);
      at += n;
    }
  }
  return out;
}

}  // namespace basin
