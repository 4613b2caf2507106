#pragma once

#include <QPixmap>

namespace mavrel {

// The pictures of the start, About and offline displays, drawn at twice their on-screen size
// so that they stay sharp on high-density screens.
QPixmap splashPicture();
QPixmap aboutPicture();
QPixmap offlinePicture();

} // namespace mavrel
