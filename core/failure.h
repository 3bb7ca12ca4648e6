// How every program fails: one line on stderr, "PROGRAM: MESSAGE", its
// control and invisible characters escaped (core/text.h), and exit status
// FAILED. Each program names itself once, as it starts.
#pragma once

#include <string>

namespace basin {

constexpr int FAILED = 2;

// The name the messages begin with: "basinshot", "duobasin", ...
void nameProgram(const char* name);
const char* programName();

// Ends the program with `message`.
[[noreturn]] void fail(const std::string& message);

}  // namespace basin
