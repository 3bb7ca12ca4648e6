// What the window must show after an action, computed in memory.
//
// A frame puts the sample of column i, row j (from 1) in window pixel
// (i - 1, j - 1), in the 8-bit colours of the in-memory picture, so after a
// frame the window equals the model's picture exactly. Outlines are GL lines
// in the plane's coordinates: a line on or within a few float roundings of a
// pixel edge may light the pixel on either side, so an outline has a few
// possible screens.
#pragma once

#include <string>
#include <vector>

#include "viewer/picture.h"
#include "viewer/reference_walk.h"

namespace e2e {

// The screen after the program draws a frame of basin's current window.
// Advances the registry and resets the pending window as the program does.
basin::Picture expectFrame(basin::Basin& basin);

// The screens the white outline of the pending window may give over `before`.
std::vector<basin::Picture> expectOutline(const basin::Views& views, const basin::Picture& before);

// Compares `screen` with the closest of `options`. Empty when one matches
// exactly; otherwise says how many pixels differ and where and, if `label`
// is not empty, writes the screen and the closest expectation as PPM files
// named after it.
std::string compare(const basin::Picture& screen, const std::vector<basin::Picture>& options,
                    const std::string& label = "");

}  // namespace e2e
