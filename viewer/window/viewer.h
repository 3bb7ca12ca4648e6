// The GLUT program around one polynomial: start-up, the display, keyboard
// and mouse callbacks, the outline and the wipe.
#pragma once

#include "core/programs.h"

namespace basin {

// The whole of a viewer: reads its command line (viewer/arguments.h), then
// opens the window and runs GLUT's loop, returning only if that ever does;
// or returns at once with 0 after the help, the release or polybasin's
// --roots listing, with 2 after a message for a mistake. `program` is the
// named program, or null for polybasin. Standard input, output and error,
// if closed, are first opened on /dev/null; a reader of the view lines that
// goes ends only the printing (SIGPIPE is ignored). With BASIN_EVENTS=FD
// the viewer writes its event lines (keys taken in, frames finished,
// "ready") to descriptor FD.
//
// --window opens the viewer on that window: the start-up frame is computed
// first, unseen, so that the colours are those of every session, then the
// window is drawn as if marked and applied with d.
int viewerMain(const Program* program, int argc, char** argv);

}  // namespace basin
