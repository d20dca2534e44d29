// The product's pictures, drawn at start-up so that no image files need shipping: the logo, the
// package, success, warning and error pictures of the top panel, and the four status pictures.
#pragma once

#include <QPixmap>

namespace tivra::gui {

enum class Picture { Logo, Package, Success, Warning, Error, IntroBanner };

QPixmap picture(Picture which, int size);
// The picture of a status image code (0 neutral, 1 success, 2 error, 3 ignored).
QPixmap statusPicture(int imageCode, int size = 16);

}  // namespace tivra::gui
