// The GLUT program around one variant: start-up, the display and keyboard
// callbacks, the outline and the wipe.
#pragma once

#include "core/newton.h"
#include "core/programs.h"
#include "viewer/views.h"

namespace basin {

// Prints the viewer's help: the `usage` line, what it draws (the basins of
// `formula`), its keys and a word on GLUT's options.
void printViewerHelp(const char* usage, const char* formula);

// Runs the viewer for `variant`; returns only if the GLUT loop ever does,
// or at once: with 0 after printing the help for --help or the release for
// --version, with 2 after a message for an argument that is neither one of
// these nor one of GLUT's own options (viewer/glut_options.h). Standard
// input, output and error, if closed, are first opened on /dev/null; a
// reader of the view lines that goes ends only the printing (SIGPIPE is
// ignored). With BASIN_EVENTS=FD the viewer writes its event lines (keys
// taken in, frames finished, "ready") to descriptor FD.
//
// --window XMIN XMAX YMIN YMAX, or `start` if given (for a program that reads
// its own command line), opens the viewer on that window: the start-up
// frame is computed first, unseen, so that the colours are those of every
// session, then the window is drawn as if marked and applied with d.
//
// A named program takes --double too, which runs its double model
// (Program::wide); a variant read elsewhere comes in its own precision,
// its --window edges read in it.
int runViewer(const Program& program, int argc, char** argv);
int runViewer(const Variant& variant, int argc, char** argv, const Window* start = nullptr);

}  // namespace basin
