#include "app/MapLegend.h"

#include "render/PictureColorQt.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace tessaro {
namespace {

// In pixels: the panel's distance from the parent's corner, its padding, and a swatch.
constexpr int Margin = 8;
constexpr int Padding = 6;
constexpr int SwatchWidth = 22;
constexpr int SwatchHeight = 12;
constexpr int SwatchGap = 6;

} // namespace

CMapLegend::CMapLegend(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("MapLegend"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    parent->installEventFilter(this);
    hide();
}

void CMapLegend::SetContent(const QString& title, const std::vector<ColorLegendEntry>& entries)
{
    Title_ = title;
    Entries_ = entries;
    setVisible(!Entries_.empty());
    Place();
    update();
}

int CMapLegend::LineHeight() const
{
    return std::max(fontMetrics().height(), SwatchHeight) + 2;
}

QSize CMapLegend::sizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    QFont bold = font();
    bold.setBold(true);
    int width = QFontMetrics(bold).horizontalAdvance(Title_);
    for (const ColorLegendEntry& entry : Entries_)
        width =
            std::max(width, SwatchWidth + SwatchGap + metrics.horizontalAdvance(QString::fromStdString(entry.Label)));
    const int lines = static_cast<int>(Entries_.size()) + 1;
    return {width + 2 * Padding, lines * LineHeight() + 2 * Padding};
}

void CMapLegend::Place()
{
    const QWidget* area = parentWidget();
    const QSize size = sizeHint();
    resize(size);
    move(Margin, area->height() - size.height() - Margin);
}

bool CMapLegend::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        Place();
    return QWidget::eventFilter(watched, event);
}

void CMapLegend::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(QColor(96, 96, 96));
    painter.setBrush(QColor(255, 255, 255, 235));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    const int line = LineHeight();
    const int ascent = fontMetrics().ascent();
    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.setPen(Qt::black);
    int top = Padding;
    painter.drawText(Padding, top + (line + ascent) / 2 - 1, Title_);
    painter.setFont(font());
    for (const ColorLegendEntry& entry : Entries_) {
        top += line;
        painter.setPen(QColor(96, 96, 96));
        painter.setBrush(ToQColor(entry.Color));
        painter.drawRect(Padding, top + (line - SwatchHeight) / 2, SwatchWidth, SwatchHeight);
        painter.setPen(Qt::black);
        painter.drawText(Padding + SwatchWidth + SwatchGap, top + (line + ascent) / 2 - 1,
                         QString::fromStdString(entry.Label));
    }
}

} // namespace tessaro
