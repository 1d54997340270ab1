#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace tessaro {

// Dialog units: a horizontal unit is a quarter of the font's average character width, a
// vertical unit an eighth of its height, so a dialog laid out in them grows with its font.
class CDialogUnits {
public:
    explicit CDialogUnits(const QFont& font);

    QRect Rect(int x, int y, int width, int height) const;
    QSize Size(int width, int height) const;
    int X(int units) const;
    int Y(int units) const;

private:
    double CharWidth_;
    double CharHeight_;
};

} // namespace tessaro
