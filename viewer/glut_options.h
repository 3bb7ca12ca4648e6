// The command-line options GLUT itself takes out of a viewer's arguments,
// in one table, and the one routine that sets them aside: the viewers pass
// them on to glutInit and read every other argument through the programs'
// one command line (viewer/command_line.h). Free of GL, so the argument
// reading and its tests need no display.
#pragma once

#include <cstring>
#include <string>
#include <vector>

namespace basin {

struct GlutOption {
  const char* name;
  bool takesValue;  // the next argument is its value: -geometry 400x400
};

inline constexpr GlutOption GLUT_OPTIONS[] = {
    {"-display", true},   {"-geometry", true}, {"-iconic", false},  {"-direct", false},
    {"-indirect", false}, {"-sync", false},    {"-gldebug", false},
};

// The entry for `arg`, or nullptr when GLUT does not know it.
inline const GlutOption* glutOption(const char* arg) {
  for (const GlutOption& option : GLUT_OPTIONS)
    if (std::strcmp(arg, option.name) == 0) return &option;
  return nullptr;
}

// A viewer's arguments split in two: GLUT's own options with their values
// (after the program's name, as glutInit takes them), and the rest, in
// order, for the program. Nothing after `--` is GLUT's. An option whose
// value is missing goes to GLUT, which reports it.
struct GlutArguments {
  std::vector<char*> glut;         // argv[0], then GLUT's options
  std::vector<std::string> rest;   // the program's own arguments
  std::vector<std::string> given;  // the names of GLUT's options given, in order
  // A -geometry was given whose value sets no size: a position alone
  // (+100+100), or one X cannot read. GLUT would then replace the viewer's
  // own size by a default of its own.
  bool keepsSize = false;
};

// Whether a -geometry value gives a size, as X reads it: WIDTHxHEIGHT
// first, after an optional '='.
inline bool geometryGivesSize(const char* geometry) {
  if (*geometry == '=') ++geometry;
  return (*geometry >= '0' && *geometry <= '9') || *geometry == 'x' || *geometry == 'X';
}

inline GlutArguments setAsideGlut(int argc, char** argv) {
  GlutArguments split;
  split.glut.push_back(argv[0]);
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) {
      split.rest.insert(split.rest.end(), argv + i, argv + argc);
      break;
    }
    const GlutOption* option = glutOption(argv[i]);
    if (option == nullptr) {
      split.rest.push_back(argv[i]);
      continue;
    }
    split.glut.push_back(argv[i]);
    split.given.push_back(option->name);
    if (!option->takesValue || i + 1 >= argc) continue;
    if (std::strcmp(option->name, "-geometry") == 0)
      split.keepsSize = !geometryGivesSize(argv[i + 1]);
    split.glut.push_back(argv[++i]);
  }
  return split;
}

}  // namespace basin
