#pragma once
// The skinned look of command buttons. SkinAttach on a button skins it; on a window (main window,
// dialog, message box) it skins every button in it, gives its sunken children (text boxes, grids,
// list boxes) a flat one-pixel border and hooks the window, so that a dialog or message box that
// becomes active from it is skinned too. SkinDetach undoes it all.
//
// A skinned button keeps its data in dynamic properties: "PROCADDR" (the hook that took it over),
// "HDC0" … "HDC3" (its finished image in each state), "MOUSEFLAG", "TIMERID", "OLDSTATE" (0
// normal, 1 hover, 2 pressed, 3 disabled) and "ALPHALEVEL" (the opacity of the next fade tick).

#include <QFontMetrics>
#include <QImage>
#include <QString>
#include <cstdint>

class QPushButton;
class QWidget;

namespace rowcaster::skin {

void SkinAttach(QWidget* window);
void SkinDetach(QWidget* window);

// Skinned buttons and hooked windows.
int ButtonCount();
int FormCount();

// The atlas while anything is skinned; a null image once it has been released.
const QImage& SkinAtlas();

// Draws a button's four state images ("HDC0" … "HDC3") from the atlas, its caption and its focus.
void RenderStates(QPushButton* button);

// The caption as drawn into `width` pixels: whole, or cut with an ellipsis; the access key stays
// marked when it is still shown.
QString FittedCaption(const QString& caption, const QFontMetrics& metrics, int width);

// Blends done by fade ticks since the program started.
std::uint64_t BlendCount();

// Fade timer period, in milliseconds.
inline constexpr int kFadeMilliseconds = 15;

}  // namespace rowcaster::skin
