#pragma once

#include "geodata/RecordAttributes.h"
#include "run/CartogramJob.h"

#include <QWidget>

#include <functional>

class QLabel;
class QTableWidget;
class QTableWidgetItem;

namespace tessaro {

// "Cartogram Result": what the last run of the active document made, polygon by polygon: the
// kept round and its weighted mean error (against the target in the convergence mode), the
// polygons farthest from their sizes by name, and a sortable table of every polygon with its
// size, desired share, area share and relative error A/D - 1. Selecting a row selects the
// polygon (the view highlights it) and lists its record's fields.
class CResultPanel : public QWidget {
    Q_OBJECT
public:
    // The fields of the record (from 0) of the last run's input.
    using AttributeReader = std::function<std::vector<AttributeValue>(uint32_t record)>;

    enum Column { RecordColumn, NameColumn, SizeColumn, DesiredColumn, AreaColumn, ErrorColumn };

    explicit CResultPanel(QWidget* parent = nullptr);

    // Shows the document `title`'s last run, or says it made none (summary null, or a run that
    // did not complete). `targetError` is the convergence mode's target, 0 in the rounds mode.
    void Show(const QString& title, const CartogramRunSummary* summary, double targetError, AttributeReader reader);
    // Selects the polygon's row (from 0, in layer order) and lists its fields; -1 clears. False
    // when the table has no such polygon.
    bool SelectPolygon(int polygon);

    QLabel* Heading() const { return Heading_; }
    QLabel* Farthest() const { return Farthest_; }
    QTableWidget* Table() const { return Table_; }
    QTableWidget* Attributes() const { return Attributes_; }
    // The polygon (from 0, in layer order) a row of the table shows, wherever sorting put it.
    int PolygonOfRow(int row) const;

signals:
    // The user selected a polygon's row; -1 when the selection was cleared.
    void PolygonSelected(int polygon);

private:
    void Fill(const CartogramRunSummary& summary);
    void ShowAttributes(int polygon);
    int RowOf(int polygon) const;

    QLabel* Heading_;
    QLabel* Farthest_;
    QTableWidget* Table_;
    QTableWidget* Attributes_;
    AttributeReader Reader_;
    std::vector<uint32_t> Records_; // of the polygons shown, in layer order
    // Each polygon's record cell, which keeps its row as the table sorts.
    std::vector<QTableWidgetItem*> RecordItems_;
    bool Filling_ = false;
};

} // namespace tessaro
