// The view line: the basinshot command that draws a view again, which the
// viewers print after each frame. "basinshot quadbasin --window XMIN XMAX
// YMIN YMAX -o view.png", each edge printed so that it reads back as the
// same value of the storage type T (9 significant digits for a float, 17
// and --double for a double); for a polynomial of the user's, its text and
// tolerances in place of the program's name; with --relax A for a relaxed
// step (A printed so that it reads back as the same value); with --size WxH
// for a window
// of any other size than 800 x 800, so that the print is the window's
// picture, pixel for pixel.
#pragma once

#include <string>
#include <vector>

#include "core/newton.h"
#include "viewer/views.h"

namespace basin {

// basinshot's arguments for `window` in that line, without the program's
// own name, --size and -o: the program or the polynomial with its
// tolerances, --double, --window and its edges.
template <class T>
std::vector<std::string> viewArguments(const Variant& variant, const Window& window);

template <class T>
std::string viewLine(const Variant& variant, const Window& window, Size size = Size{});

}  // namespace basin
