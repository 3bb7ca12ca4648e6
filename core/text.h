// Text from the command line shown back to the user.
#pragma once

#include <string>

namespace basin {

// `text` with its control characters (C0, DEL and C1) and any byte that is
// not part of valid UTF-8 written as \xHH, so that quoted input can neither
// break a message's line nor send a terminal commands; valid UTF-8 text
// otherwise stays as it is.
std::string escaped(const std::string& text);

}  // namespace basin
