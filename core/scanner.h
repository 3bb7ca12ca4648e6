// Reading a polynomial's text from left to right: the position, the first
// error met, and the pieces of syntax both polynomial readers share.
#pragma once

#include <cstddef>
#include <string>

#include "core/polynomial.h"
#include "core/text.h"

namespace basin {

constexpr int END = -1;  // what a scanner sees past the last character

inline bool isDigit(int c) { return c >= '0' && c <= '9'; }
inline bool isLetter(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// A character as a message names it.
inline std::string found(int c) {
  return c == END ? "the end of the text" : "'" + escaped(std::string(1, char(c))) + "'";
}

// The text and a position in it, with the first error met.
struct Scanner {
  const std::string& text;
  std::size_t at = 0;
  PolynomialError error{0, ""};

  int peek() const { return at < text.size() ? static_cast<unsigned char>(text[at]) : END; }
  void skipBlanks() {
    while (peek() == ' ' || peek() == '\t') ++at;
  }
  bool fail(std::size_t where, const std::string& message) {
    error = PolynomialError{int(where) + 1, message};
    return false;
  }

  // The digits from here on as a whole number, read until the first
  // character that is not a digit; any value above `cap` is returned as
  // some value above it, so a long run of digits cannot overflow.
  int wholeNumber(int cap) {
    int value = 0;
    for (; isDigit(peek()); ++at)
      if (value <= cap) value = value * 10 + (peek() - '0');
    return value;
  }
};

}  // namespace basin
