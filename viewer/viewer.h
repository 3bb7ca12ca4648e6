// The GLUT program around one variant: start-up, the display and keyboard
// callbacks, the outline and the wipe.
#pragma once

#include "core/newton.h"

namespace basin {

// Prints the viewer's help: the `usage` line, what it draws (the basins of
// `formula`), its keys and a word on GLUT's options.
void printViewerHelp(const char* usage, const char* formula);

// Runs the viewer for `variant`; returns only if the GLUT loop ever does,
// or at once, with 0, after printing the help for --help.
int runViewer(const Variant& variant, int argc, char** argv);

}  // namespace basin
