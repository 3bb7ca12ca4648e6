// A viewer's command line, read through the programs' one command line
// (viewer/command_line.h) once GLUT's own options are set aside: which
// polynomial (a named program's, or polybasin's operand), in which
// precision, opened on which window.
//
//   duobasin  [GLUT options] [--relax A] [--double] [--window XMIN XMAX YMIN YMAX]
//             [--save-dir DIR] [--print-size N|WxH]
//   quadbasin (the same)
//   polybasin [GLUT options] POLY [--ftol X] [--rtol X] [--extra N] [--roots]
//             [--relax A] [--double] [--window XMIN XMAX YMIN YMAX]
//             [--save-dir DIR] [--print-size N|WxH]
//
// --help and --version are answered here, and every mistake ends the
// program with one line and exit status 2, in the same words basinshot
// uses for it, before any window opens.
#pragma once

#include <string>

#include "core/newton.h"
#include "core/programs.h"
#include "viewer/glut_options.h"
#include "viewer/views.h"

namespace basin {

struct ViewerArguments {
  Variant variant;         // what the window draws, in the precision asked for
  bool hasWindow = false;  // --window: open there, after the unseen start-up frame
  Window window{};
  GlutArguments glut;         // for glutInit
  bool roots = false;         // polybasin --roots: list the roots and open no window
  std::string saveDir = ".";  // --save-dir: where `s` and `S` write their pictures
  Size printSize{0, 0};       // --print-size: the size of `S`'s prints; none: 4 x the window's
};

// Reads the command line of the viewer of `program`, or of polybasin when
// `program` is null.
ViewerArguments readViewerArguments(const Program* program, int argc, char** argv);

}  // namespace basin
