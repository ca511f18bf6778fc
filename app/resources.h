// The program's pictures, drawn by the program itself: its icon, the hand cursor of the
// view, and the toolbar buttons' images.
#pragma once

#include <QCursor>
#include <QIcon>
#include <string>

#include "commandids.h"

namespace app {

QIcon AppIcon();
// The program's icons by position: 0 the program, 6 a .dat file, 7 an .mpd file.
QPixmap IconPixmap(int position, int pixels);
// The same icon as the bytes of a PNG file; false when it cannot be encoded.
bool IconPng(int position, int pixels, std::string& png);
// The hand the view shows everywhere in its window: 32 x 32, black outline on white,
// hot spot 15, 15.
QCursor HandCursor();
// The image of a toolbar button; an empty icon for an identifier without one.
QIcon ToolbarIcon(QzCmd command);
// One standard-view button drawn at a size in pixels: a brick seen from that view.
QPixmap StandardViewPixmap(int view, int size);

}  // namespace app
