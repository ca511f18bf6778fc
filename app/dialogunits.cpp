#include "dialogunits.h"

#include <QFontMetrics>
#include <QWidget>

namespace app {

int DialogUnitsX(const QWidget* widget, int units) {
    return units * widget->fontMetrics().averageCharWidth() / 4;
}

int DialogUnitsY(const QWidget* widget, int units) {
    return units * widget->fontMetrics().height() / 8;
}

QSize DialogUnits(const QWidget* widget, int x, int y) {
    return {DialogUnitsX(widget, x), DialogUnitsY(widget, y)};
}

}  // namespace app
