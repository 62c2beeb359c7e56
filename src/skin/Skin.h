#pragma once
// The skinned look of command buttons: SkinAttach on a window skins its buttons and the flat
// borders of its sunken children; SkinDetach undoes it.

class QWidget;

namespace rowcaster::skin {

void SkinAttach(QWidget* window);
void SkinDetach(QWidget* window);

}  // namespace rowcaster::skin
