#include "viewer/picture.h"

namespace basin {

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

void colourRow(Registry& registry, const Outcome* row, int n, std::uint8_t* rgb) {
  static const std::uint8_t BLACK[3] = {0, 0, 0};
  for (int i = 0; i < n; ++i, rgb += 3) {
    const int slot = row[i].fault == 0 ? findslot(registry, &row[i].end) : -1;
    const std::uint8_t* colour = slot >= 0 ? shade8(slot, row[i].its) : BLACK;
    rgb[0] = colour[0];
    rgb[1] = colour[1];
    rgb[2] = colour[2];
  }
}

}  // namespace basin
