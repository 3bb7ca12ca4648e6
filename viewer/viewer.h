// The GLUT program around one variant: start-up, the display and keyboard
// callbacks, the outline and the wipe.
#pragma once

#include "core/newton.h"

namespace basin {

// Runs the viewer for `variant`; returns only if the GLUT loop ever does.
int runViewer(const Variant& variant, int argc, char** argv);

}  // namespace basin
