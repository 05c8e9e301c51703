#pragma once
#include <QIcon>
#include <QPixmap>

namespace norvane {

// The tray's image list: 0 to 3 are the progress frames of a group refresh (one more
// arc lit per frame, on blue), 4 is the idle icon (the feed sign on orange), which is
// also the program's icon.
inline constexpr int kTrayImageCount = 5;
inline constexpr int kIdleTrayImage = 4;

// One image drawn for one pixel size, so it stays sharp at 16 and 22 pixels.
QPixmap DrawTrayImage(int index, int size);
// The image at every size a tray or title bar asks for.
QIcon TrayImage(int index);

}  // namespace norvane
