// The command-line options GLUT itself takes out of a viewer's arguments,
// in one table: the viewers pass these on to glutInit and refuse any other
// argument they do not know themselves. Free of GL, so the programs'
// argument parsers and their tests can read it without a display.
#pragma once

#include <cstring>

namespace basin {

struct GlutOption {
  const char* name;
  bool takesValue;  // the next argument is its value: -geometry 400x400
};

inline constexpr GlutOption GLUT_OPTIONS[] = {
    {"-display", true}, {"-geometry", true}, {"-iconic", false}, {"-direct", false},
    {"-indirect", false}, {"-sync", false},  {"-gldebug", false},
};

// The entry for `arg`, or nullptr when GLUT does not know it.
inline const GlutOption* glutOption(const char* arg) {
  for (const GlutOption& option : GLUT_OPTIONS)
    if (std::strcmp(arg, option.name) == 0) return &option;
  return nullptr;
}

}  // namespace basin
