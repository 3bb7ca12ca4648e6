// The key table of both programs, free of GL.
//
// `press` does what a key does to the view windows and says what the screen
// has to show next; the caller does the drawing. The GLUT viewer draws on
// the window, the replay into a picture in memory, and since both go through
// this one table a key means the same thing in each.
#pragma once

#include "viewer/views.h"

namespace basin {

constexpr unsigned char ESCAPE = 27;

// What a key leaves for the screen once the view windows are updated.
enum class Effect {
  None,     // nothing to draw: a refused mark, `Z`, `r`, an unlisted key
  Outline,  // outline the new pending window (`z`, `c`)
  Frame,    // the pending window is now current: set the projection, draw a frame (`d`)
  Wipe,     // clear the window to black (`w`)
  Exit,     // end the process with status 0 (Escape)
};

// z: zoom in, Z: zoom out, c: re-centre, all around `at`; r: restore the
// home window; d: apply the pending window. Keys are case-sensitive.
Effect press(Views& views, unsigned char key, const Pointer& at);

}  // namespace basin
