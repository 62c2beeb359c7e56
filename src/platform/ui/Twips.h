#pragma once
// Window geometry is given in twips, 15 to a pixel.

namespace rowcaster::ui {

// The nearest pixel, the same way on both sides of zero (−60 twips is −4 pixels).
constexpr int Px(int twips) {
  const int shifted = twips + 7;
  return shifted >= 0 ? shifted / 15 : -((-shifted + 14) / 15);
}

constexpr int Twips(int px) { return px * 15; }

}  // namespace rowcaster::ui
