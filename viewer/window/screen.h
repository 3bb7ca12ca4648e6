// What the GLUT viewer draws on its window: the stored picture, a frame as
// it is solved, the white outline of the live mark or of a drag's square,
// and black after a wipe. The only GL calls of the viewer but the set-up's.
#pragma once

#include "viewer/views.h"

namespace basin {

// GL's projection: the window's share of the current view, 0 ... 1 on
// each axis (see screen.cpp).
void projection();

// Draws the current window as a frame, showing its rows as they are done
// and taking in events between them (input.h waits on its end).
void frame();
// Draws `view` as a passing glimpse (Session::glimpse), shown as a frame is.
void glimpse(const Window& view);

// What lies under any outline: the stored picture, with what the cockpit
// shows drawn over it, or black after a wipe.
void background();

// Outlines the pending window, the live mark, over the background alone:
// an earlier outline goes, since only the last mark counts.
void box();
// A mark with no outline (Z's, r's) leaves none of an earlier mark's.
void unbox();
// The stored picture stays: an expose shows it again.
void wipe();
// The background with the live mark over it, and nothing else.
void redrawMark();
// `square` outlined over the background alone, in place of the live mark
// while a drag is held.
void showSquare(const Window& square);

}  // namespace basin
