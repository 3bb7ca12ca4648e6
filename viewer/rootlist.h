// The roots of a program's polynomial as `--roots` lists them.
//
// One line per distinct root, in the order of the palette colours the
// roots take in the start-up frame, then those that take none there:
//
//   -1+0i multiplicity 2 colour 0 #ff0000
//   1+0i multiplicity 2 colour 1 #00ff00
//   0.5-0.866025388i multiplicity 1 colour none
//
// The position is the root as the registry holds it, each part printed so
// that it reads back as the same float (a root beyond float's range, which
// no run can reach, as found in double). The colour is the registry slot and
// its palette colour (unshaded) that the root's own samples take: colours
// go to the roots in the order the start-up frame first meets their basins,
// so that frame is drawn in memory (800 x 800, from -2 to 2 on each axis)
// and each root looked up in the registry it leaves. "none": no sample of
// that frame converged to the root; a later view may give it a colour.
//
// Those are the roots of the polynomial the pictures iterate, its
// coefficients rounded to the storage type. Where that rounding split a
// repeated root of the polynomial as written, or merged close ones, a line
// follows for each root of the written polynomial (its decimals taken
// exactly), with its exact multiplicity:
//
//   0.099977165+0i multiplicity 1 colour 0 #ff0000
//   0.10002284+0i multiplicity 1 colour 0 #ff0000
//   as written: 0.1+0i multiplicity 2
#pragma once

#include <string>

#include "core/newton.h"

namespace basin {

// The listing for `variant`, or false when its roots cannot be found.
bool listRoots(const Variant& variant, std::string* text);

// What a program's --roots does: the listing on standard output and 0, or
// a line on stderr naming the program and FAILED (core/failure.h).
int printRoots(const Variant& variant);

}  // namespace basin
