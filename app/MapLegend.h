#pragma once

#include "document/ColorScale.h"

#include <QString>
#include <QWidget>

#include <vector>

namespace tessaro {

// The legend of a map filled by value or by error: a small panel over its parent's bottom-left
// corner holding the title and a colour swatch with its label per entry. It follows the
// parent's size and lets the mouse through to the map.
class CMapLegend : public QWidget {
    Q_OBJECT
public:
    explicit CMapLegend(QWidget* parent);

    // Shows the title and entries; hides the panel when there are no entries.
    void SetContent(const QString& title, const std::vector<ColorLegendEntry>& entries);
    const QString& Title() const { return Title_; }
    const std::vector<ColorLegendEntry>& Entries() const { return Entries_; }

    QSize sizeHint() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void Place();
    int LineHeight() const;

    QString Title_;
    std::vector<ColorLegendEntry> Entries_;
};

} // namespace tessaro
