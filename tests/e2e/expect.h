// What the window must show after an action, computed in memory.
//
// A frame's colours come from the project's own core (renderPicture); where
// each sample lands on the screen is the platform's business. Under Xvfb,
// Mesa's software rasteriser snaps a vertex to 1/256 of a pixel and a point
// of size 1 lights the pixel whose square holds the snapped position. The
// start-up frame's samples sit just left of and just above pixel corners,
// so the sample of column i (from 1) lands in pixel column i (from 0) and
// the sample of row j (from 1) in pixel row j - 1: pixel column 0 is never
// drawn, and the last column of samples falls outside the window. In other
// windows the accumulated rounding can move a column or row of samples
// across a pixel edge, so a frame may draw a pixel column or row twice (the
// later sample wins) and leave another showing what was there before.
//
// GL transforms in float, so a sample within a few float roundings of a
// snapping edge may land on either side; only for those samples does the
// comparison accept either pixel. With the windows the tests visit that
// happens to a handful of rows or columns at most.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "viewer/frame.h"
#include "viewer/picture.h"

namespace e2e {

using Colour = std::array<std::uint8_t, 3>;

// A screen a person must see. Pixel column x shows the samples of one of
// the frame columns columns[x], pixel row y those of one of the frame rows
// rows[y]; sample (i, j) has the colour of cell (i - 1, j - 1) of `cells`,
// and 0 for either means that the pixel still shows `before`. Almost every
// pixel row and column has one candidate; where a row has several, it
// still shows one row of samples across its whole width.
struct Expected {
  basin::Picture before;
  basin::Picture cells;
  std::vector<std::vector<int>> columns;
  std::vector<std::vector<int>> rows;
};

// For one axis, the samples (1 ... GRID) a pixel may show; 0 stands for none,
// the pixel keeping what it showed before the frame.
std::vector<std::vector<int>> placeColumns(float xmin, float xmax);
std::vector<std::vector<int>> placeRows(float ymin, float ymax);

// The screen after the program draws a frame of basin's current window over
// `before`. Renders the frame in memory, which advances the registry and
// resets the pending window as the program's frame does.
Expected expectFrame(basin::Basin& basin, const basin::Picture& before);

// The screens the white outline of the pending window may give when drawn
// over `before` (an outline edge on a pixel edge may go either way).
std::vector<Expected> expectOutline(const basin::Views& views, const basin::Picture& before);

// The screen unchanged, or all black.
Expected expectSame(const basin::Picture& before);
Expected expectBlack(int size);

// Compares `screen` with the closest of `options`. Empty when one matches
// exactly; otherwise says how many pixels differ and where and, if `label`
// is not empty, writes the screen and the closest expectation as PPM files
// named after it.
std::string compare(const basin::Picture& screen, const std::vector<Expected>& options,
                    const std::string& label = "");

}  // namespace e2e
