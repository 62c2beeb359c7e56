#include "skin/Skin.h"

namespace rowcaster::skin {

void SkinAttach(QWidget*) {}
void SkinDetach(QWidget*) {}

}  // namespace rowcaster::skin
