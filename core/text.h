// Text from the command line shown back to the user.
#pragma once

#include <string>

#include "core/complex.h"

namespace basin {

// The shortest decimal that reads back as `value`, a value of `precision`
// (at most 9 significant digits for a float, 17 for a double), as %g
// writes it; never "-0".
std::string shortestDigits(double value, Precision precision);

// `text` with its control characters (C0, DEL and C1) and any byte that is
// not part of valid UTF-8 written as \xHH, and its invisible format
// characters (U+FEFF, U+200B, the direction overrides, ...) as \u{FEFF},
// so that quoted input can neither break a message's line, nor send a
// terminal commands, nor hide what it holds; valid visible UTF-8 text stays
// as it is.
std::string escaped(const std::string& text);

}  // namespace basin
