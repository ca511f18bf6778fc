// Dialog sizes are given in dialog units: a quarter of the average character width and
// an eighth of the character height of the dialog's font. These turn them into pixels
// for a widget's font.
#pragma once

#include <QSize>

class QWidget;

namespace app {

int DialogUnitsX(const QWidget* widget, int units);
int DialogUnitsY(const QWidget* widget, int units);
QSize DialogUnits(const QWidget* widget, int x, int y);

}  // namespace app
