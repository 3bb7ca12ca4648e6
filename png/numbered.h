// Pictures saved under a number of their own, as the viewers' `s` and `S`
// and basinshot's `s` keep them: basinscope-0001.png, basinscope-0002.png,
// ... in a folder, each the next name not yet taken. A name is taken by
// creating its file exclusively (O_EXCL), so no file is ever replaced, not
// even by a program saving into the same folder at the same moment.
#pragma once

#include <string>

#include "png/image.h"

namespace basin {

// Takes the next free name in `folder` by creating it, empty: its path in
// *path and "", or why not ("'DIR': Permission denied").
std::string claimNumbered(const std::string& folder, std::string* path);

// Writes `image` as a PNG to the next free name in `folder`, flushed to
// the disk: its path in *path and "", or why not, with nothing left
// behind.
std::string saveNumbered(const ImageRows& image, const std::string& folder, std::string* path);

}  // namespace basin
