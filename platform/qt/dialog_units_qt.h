// Dialog units: one horizontal unit is a quarter of the dialog font's
// average character width, one vertical unit an eighth of its height.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace platform {

// The font a template names, on this platform. "MS Shell Dlg" is the
// designers' stand-in for "the system's dialog font": the sans font here.
QFont DialogFont(const char* face, int pointSize);

struct DialogBaseUnits {
    int x = 0; // average character width in pixels
    int y = 0; // character height in pixels
};

DialogBaseUnits BaseUnitsOf(const QFont& font);

// units * base / 4 (or 8), rounded to the nearest pixel, half away from
// zero: every control lands on the same pixel whichever way it is reached.
int DluToPixelsX(int units, const DialogBaseUnits& base);
int DluToPixelsY(int units, const DialogBaseUnits& base);
QRect DluToPixels(const QRect& units, const DialogBaseUnits& base);
QSize DluToPixels(const QSize& units, const DialogBaseUnits& base);

} // namespace platform
