#include "platform/qt/dialog_units_qt.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <cstring>

namespace platform {

QFont DialogFont(const char* face, int pointSize) {
    QFont font;
    if (face == nullptr || std::strcmp(face, "MS Shell Dlg") == 0 ||
        std::strcmp(face, "MS Shell Dlg 2") == 0) {
        font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        font.setStyleHint(QFont::SansSerif);
    } else {
        font = QFont(QString::fromUtf8(face));
    }
    font.setPointSize(pointSize > 0 ? pointSize : 8);
    return font;
}

DialogBaseUnits BaseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    // The average of the 52 Latin letters, as the dialog manager measures it;
    // a font's own "average width" field varies too much between fonts.
    static const QString kLetters =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int letters = metrics.horizontalAdvance(kLetters);
    return DialogBaseUnits{(letters / 26 + 1) / 2, metrics.height()};
}

namespace {
int MulDiv(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : (product - half) / denominator);
}
} // namespace

int DluToPixelsX(int units, const DialogBaseUnits& base) {
    return MulDiv(units, base.x, 4);
}

int DluToPixelsY(int units, const DialogBaseUnits& base) {
    return MulDiv(units, base.y, 8);
}

QRect DluToPixels(const QRect& units, const DialogBaseUnits& base) {
    // Convert both corners so that neighbouring controls share their edges.
    const int left = DluToPixelsX(units.x(), base);
    const int top = DluToPixelsY(units.y(), base);
    const int right = DluToPixelsX(units.x() + units.width(), base);
    const int bottom = DluToPixelsY(units.y() + units.height(), base);
    return QRect(left, top, right - left, bottom - top);
}

QSize DluToPixels(const QSize& units, const DialogBaseUnits& base) {
    return QSize(DluToPixelsX(units.width(), base), DluToPixelsY(units.height(), base));
}

} // namespace platform
