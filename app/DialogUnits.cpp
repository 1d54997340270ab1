#include "app/DialogUnits.h"

#include <QFontMetricsF>
#include <QString>

#include <cmath>

namespace tessaro {

CDialogUnits::CDialogUnits(const QFont& font)
{
    const QFontMetricsF metrics(font);
    // The average over the 52 letters, as dialog templates measure their font.
    static const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    CharWidth_ = metrics.horizontalAdvance(letters) / letters.size();
    CharHeight_ = metrics.height();
}

int CDialogUnits::X(int units) const { return static_cast<int>(std::lround(units * CharWidth_ / 4.0)); }

int CDialogUnits::Y(int units) const { return static_cast<int>(std::lround(units * CharHeight_ / 8.0)); }

QRect CDialogUnits::Rect(int x, int y, int width, int height) const
{
    return {X(x), Y(y), X(width), Y(height)};
}

QSize CDialogUnits::Size(int width, int height) const { return {X(width), Y(height)}; }

} // namespace tessaro
