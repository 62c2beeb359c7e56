#include "skin/Atlas.h"

namespace rowcaster::skin {

QImage BuildAtlas() {
  QImage atlas(9, 84, QImage::Format_RGB32);
  for (int s = 0; s < 4; ++s)
    for (int row = 0; row < 21; ++row)
      for (int col = 0; col < 9; ++col) {
        const std::uint32_t rgb = kAtlasLeft[s][row][col <= 4 ? col : 8 - col];
        atlas.setPixel(col, 21 * s + row, 0xFF000000u | rgb);
      }
  return atlas;
}

}  // namespace rowcaster::skin
