// Vemtaro's own pictures: the icon set of the trees and menus (ImageList1,
// addressed by number) and the splash picture. They are drawn, so they are
// crisp at every scale and need no files.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace vemtaro::app {

// The icon of ImageList1 with this number; an empty icon for an unknown number.
QIcon TreeIcon(int number);
// The splash picture, 610 x 450.
QPixmap SplashPicture();
// The program's own icon (windows, desktop entry).
QIcon ProgramIcon();

}  // namespace vemtaro::app
