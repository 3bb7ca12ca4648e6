// Held keys as the X server reports them.
//
// Apart from the rest of the viewer because X11's headers define common
// words (None, Complex, KeyPress) as macros.
#pragma once

namespace basin {

// Asks the X server of the current GL context to report the presses it
// repeats while a key is held as presses with no release in between (XKB's
// detectable auto-repeat); false when the server cannot.
bool serverMarksRepeats();

}  // namespace basin
