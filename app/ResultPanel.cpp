#include "app/ResultPanel.h"

#include "platform/NumberText.h"

#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace tessaro {
namespace {

constexpr double Percent = 100.0;
// How many polygons the line of the farthest names.
constexpr size_t FarthestNamed = 5;

// A cell that sorts by its number, not by its text; cells without a number sort first.
class CNumberItem : public QTableWidgetItem {
public:
    CNumberItem(const QString& text, double number) : QTableWidgetItem(text), Number_(number)
    {
        setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    bool operator<(const QTableWidgetItem& other) const override
    {
        const auto* number = dynamic_cast<const CNumberItem*>(&other);
        return number != nullptr ? Number_ < number->Number_ : QTableWidgetItem::operator<(other);
    }

private:
    double Number_;
};

QTableWidgetItem* Number(double value, int decimals)
{
    if (!std::isfinite(value))
        return new CNumberItem(QStringLiteral("-"), -HUGE_VAL);
    return new CNumberItem(QString::fromStdString(FormatFixed(value, decimals)), value);
}

// "+12.3 %", "-0.8 %": a deviation A/D - 1 as the user reads it.
QString DeviationText(double deviation)
{
    return QStringLiteral("%1%2 %").arg(deviation >= 0 ? QStringLiteral("+") : QString(),
                                        QString::fromStdString(FormatFixed(deviation * Percent, 1)));
}

QString PercentText(double fraction)
{
    return QString::fromStdString(FormatFixed(fraction * Percent, 4)) + " %";
}

QString PolygonName(const CartogramRunSummary& summary, size_t polygon)
{
    if (polygon < summary.Polygons.size() && !summary.Polygons[polygon].Name.empty())
        return QString::fromStdString(summary.Polygons[polygon].Name);
    const uint32_t record = polygon < summary.Polygons.size() ? summary.Polygons[polygon].Record : uint32_t(polygon);
    return QStringLiteral("record %1").arg(record + 1);
}

QTableWidget* MakeTable(const QStringList& headings)
{
    auto* table = new QTableWidget(0, int(headings.size()));
    table->setHorizontalHeaderLabels(headings);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

} // namespace

CResultPanel::CResultPanel(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ResultPanel"));
    Heading_ = new QLabel;
    Heading_->setObjectName(QStringLiteral("Heading"));
    Heading_->setWordWrap(true);
    Farthest_ = new QLabel;
    Farthest_->setObjectName(QStringLiteral("Farthest"));
    Farthest_->setWordWrap(true);
    Table_ = MakeTable({QStringLiteral("Record"), QStringLiteral("Name"), QStringLiteral("Size"),
                        QStringLiteral("Desired share %"), QStringLiteral("Area share %"),
                        QStringLiteral("Error A/D - 1 %")});
    Table_->setObjectName(QStringLiteral("Polygons"));
    Table_->horizontalHeader()->setSortIndicator(RecordColumn, Qt::AscendingOrder);
    Table_->setSortingEnabled(true);
    Attributes_ = MakeTable({QStringLiteral("Field"), QStringLiteral("Value")});
    Attributes_->setObjectName(QStringLiteral("Attributes"));
    Attributes_->setSelectionMode(QAbstractItemView::NoSelection);

    auto* split = new QSplitter(Qt::Vertical);
    split->addWidget(Table_);
    split->addWidget(Attributes_);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Heading_);
    layout->addWidget(Farthest_);
    layout->addWidget(split, 1);
    setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 64);

    connect(Table_, &QTableWidget::itemSelectionChanged, this, [this] {
        if (Filling_)
            return;
        const QList<QTableWidgetItem*> selected = Table_->selectedItems();
        const int polygon = selected.isEmpty() ? -1 : PolygonOfRow(selected.front()->row());
        ShowAttributes(polygon);
        emit PolygonSelected(polygon);
    });
    Show({}, nullptr, 0.0, {});
}

void CResultPanel::Show(const QString& title, const CartogramRunSummary* summary, double targetError,
                        AttributeReader reader)
{
    Reader_ = std::move(reader);
    Filling_ = true;
    Table_->setSortingEnabled(false);
    Table_->setRowCount(0);
    Attributes_->setRowCount(0);
    Records_.clear();
    RecordItems_.clear();
    Farthest_->clear();
    const bool completed = summary != nullptr && summary->Result == CartogramRunSummary::Outcome::Completed &&
                           summary->LastMeasures.has_value();
    if (!completed) {
        Heading_->setText(title.isEmpty() ? QStringLiteral("No document.")
                                          : QStringLiteral("%1: no cartogram made in this document yet.").arg(title));
    } else {
        const RoundMeasures& measures = *summary->LastMeasures;
        QString heading = QStringLiteral("%1: round %2%3, weighted mean error %4")
                              .arg(title)
                              .arg(summary->LastRound)
                              .arg(summary->KeptRound >= 0 ? QStringLiteral(" kept (the best)") : QString(),
                                   PercentText(measures.WeightedMeanError));
        if (targetError > 0.0)
            heading += QStringLiteral(" (target %1)").arg(PercentText(targetError));
        Heading_->setText(heading + QStringLiteral("."));
        Fill(*summary);
    }
    Table_->setSortingEnabled(true);
    Filling_ = false;
}

void CResultPanel::Fill(const CartogramRunSummary& summary)
{
    const std::vector<PolygonFit>& fits = summary.LastMeasures->Fits;
    Table_->setRowCount(int(fits.size()));
    for (size_t i = 0; i < fits.size(); ++i) {
        const int row = int(i);
        const bool described = i < summary.Polygons.size();
        const uint32_t record = described ? summary.Polygons[i].Record : uint32_t(i);
        Records_.push_back(record);
        // The polygon's place in the run's layer ties a row to the view; users know the record.
        auto* recordItem = new CNumberItem(QString::number(record + 1), double(record));
        recordItem->setData(Qt::UserRole, int(i));
        RecordItems_.push_back(recordItem);
        Table_->setItem(row, RecordColumn, recordItem);
        Table_->setItem(row, NameColumn,
                        new QTableWidgetItem(described ? QString::fromStdString(summary.Polygons[i].Name) : QString()));
        const std::optional<double> size = described ? summary.Polygons[i].Size : std::nullopt;
        // Counts show as counts; rates and other reals with their decimals.
        const int decimals = size && std::floor(*size) == *size ? 0 : 4;
        Table_->setItem(row, SizeColumn, size ? Number(*size, decimals) : Number(NAN, 0));
        Table_->setItem(row, DesiredColumn, Number(fits[i].DesiredShare * Percent, 4));
        Table_->setItem(row, AreaColumn, Number(fits[i].AreaShare * Percent, 4));
        Table_->setItem(row, ErrorColumn, Number(fits[i].Deviation * Percent, 2));
    }
    std::vector<size_t> order(fits.size());
    std::iota(order.begin(), order.end(), size_t(0));
    const size_t named = std::min(order.size(), FarthestNamed);
    std::partial_sort(order.begin(), order.begin() + std::ptrdiff_t(named), order.end(), [&fits](size_t a, size_t b) {
        return std::abs(fits[a].Deviation) > std::abs(fits[b].Deviation);
    });
    QStringList farthest;
    for (size_t k = 0; k < named; ++k)
        farthest.append(
            QStringLiteral("%1 %2").arg(PolygonName(summary, order[k]), DeviationText(fits[order[k]].Deviation)));
    if (!farthest.isEmpty())
        Farthest_->setText(QStringLiteral("Farthest from their sizes: %1.").arg(farthest.join(QStringLiteral(", "))));
    Table_->resizeColumnsToContents();
}

int CResultPanel::RowOf(int polygon) const
{
    return polygon >= 0 && size_t(polygon) < RecordItems_.size() ? RecordItems_[size_t(polygon)]->row() : -1;
}

int CResultPanel::PolygonOfRow(int row) const
{
    const QTableWidgetItem* item = Table_->item(row, RecordColumn);
    return item != nullptr ? item->data(Qt::UserRole).toInt() : -1;
}

bool CResultPanel::SelectPolygon(int polygon)
{
    const int row = RowOf(polygon);
    if (row < 0) {
        Table_->clearSelection();
        return false;
    }
    Table_->selectRow(row);
    Table_->scrollToItem(Table_->item(row, RecordColumn));
    return true;
}

void CResultPanel::ShowAttributes(int polygon)
{
    Attributes_->setRowCount(0);
    if (polygon < 0 || size_t(polygon) >= Records_.size() || !Reader_)
        return;
    const std::vector<AttributeValue> values = Reader_(Records_[size_t(polygon)]);
    Attributes_->setRowCount(int(values.size()));
    for (size_t i = 0; i < values.size(); ++i) {
        Attributes_->setItem(int(i), 0, new QTableWidgetItem(QString::fromStdString(values[i].Field)));
        Attributes_->setItem(int(i), 1, new QTableWidgetItem(QString::fromStdString(values[i].Text)));
    }
}

} // namespace tessaro
