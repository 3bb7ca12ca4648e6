#include "viewer/picture.h"

namespace basin {

std::uint8_t channel(float component) {
  if (!(component > 0.0f)) return 0;
  if (component >= 1.0f) return 255;
  // Round to nearest, ties to even, as GL does: adding and taking away 2^52
  // leaves a double in 0 ... 255 rounded to a whole number, the same value
  // lrint gives in the default rounding mode without a call into libm.
  const double scaled = double(component) * 255.0;
  return static_cast<std::uint8_t>((scaled + 0x1p52) - 0x1p52);
}

Picture blankPicture(int size) {
  Picture picture;
  picture.size = size;
  picture.rgb.assign(std::size_t(size) * size * 3, 0);
  return picture;
}

void paintCell(Picture* picture, const Sample& s) {
  std::uint8_t* cell = picture->at(s.column - 1, s.row - 1);
  cell[0] = channel(s.paint.red);
  cell[1] = channel(s.paint.green);
  cell[2] = channel(s.paint.blue);
}

}  // namespace basin
