#include "app/BestRouteSetupDlg.h"

#include "document/BestRouteSetup.h"
#include "document/LumarixDoc.h"
#include "platform/UserInterface.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace tessaro {
namespace {

QLabel* ValueLabel(const QString& name, const QString& text)
{
    auto* label = new QLabel(text);
    label->setObjectName(name);
    label->setFrameShape(QFrame::StyledPanel);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

CBestRouteSetupDlg::CBestRouteSetupDlg(CLumarixDoc& document, QWidget* parent) : QDialog(parent), Document_(document)
{
    setWindowTitle(QStringLiteral("Best Route Setup"));
    setModal(false);

    Fields_ = new QListWidget;
    Fields_->setObjectName(QStringLiteral("1003"));
    Fields_->setSelectionMode(QAbstractItemView::SingleSelection);
    Fields_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Fields_->setMinimumWidth(180);
    Origin_ = ValueLabel(QStringLiteral("1004"), QString());
    Destination_ = ValueLabel(QStringLiteral("1005"), QString());
    InitCircle_ = new QLineEdit(QStringLiteral("0"));
    InitCircle_->setObjectName(QStringLiteral("1030"));
    Cost_ = ValueLabel(QStringLiteral("1009"), QStringLiteral("Undefined"));
    Result_ = ValueLabel(QStringLiteral("1010"), QStringLiteral("Unknown"));
    for (const char* text : {"Load", "Set", "Dis", "Search", "Exit"}) {
        auto* button = new QPushButton(QString::fromUtf8(text));
        button->setObjectName(QString::fromUtf8(text));
        button->setAutoDefault(false);
        Buttons_[button->text()] = button;
    }
    Buttons_.at(QStringLiteral("Search"))->setDefault(true);

    auto* cost = new QGroupBox(QStringLiteral("Chain Cost"));
    auto* costLayout = new QGridLayout(cost);
    costLayout->addWidget(Fields_, 0, 0, 3, 1);
    costLayout->addWidget(Buttons_.at(QStringLiteral("Load")), 0, 1);
    costLayout->addWidget(Buttons_.at(QStringLiteral("Set")), 1, 1);
    costLayout->addWidget(Buttons_.at(QStringLiteral("Dis")), 2, 1);
    costLayout->addWidget(new QLabel(QStringLiteral("Cost standard:")), 3, 0, 1, 2);
    costLayout->addWidget(Cost_, 4, 0, 1, 2);

    auto* ends = new QGroupBox(QStringLiteral("Route"));
    auto* endsLayout = new QGridLayout(ends);
    endsLayout->addWidget(new QLabel(QStringLiteral("Origin")), 0, 0);
    endsLayout->addWidget(Origin_, 0, 1);
    endsLayout->addWidget(new QLabel(QStringLiteral("Destination")), 1, 0);
    endsLayout->addWidget(Destination_, 1, 1);
    endsLayout->addWidget(new QLabel(QStringLiteral("Init Circle")), 2, 0);
    endsLayout->addWidget(InitCircle_, 2, 1);
    endsLayout->addWidget(new QLabel(QStringLiteral("Result")), 3, 0);
    endsLayout->addWidget(Result_, 3, 1);
    endsLayout->setColumnMinimumWidth(1, fontMetrics().horizontalAdvance(QStringLiteral("X: 0000000000.0000")) + 12);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Buttons_.at(QStringLiteral("Search")));
    buttons->addWidget(Buttons_.at(QStringLiteral("Exit")));
    auto* columns = new QHBoxLayout;
    columns->addWidget(cost);
    columns->addWidget(ends);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addLayout(buttons);

    connect(Buttons_.at(QStringLiteral("Load")), &QPushButton::clicked, this, &CBestRouteSetupDlg::LoadTable);
    connect(Buttons_.at(QStringLiteral("Set")), &QPushButton::clicked, this, &CBestRouteSetupDlg::SetWeights);
    connect(Buttons_.at(QStringLiteral("Dis")), &QPushButton::clicked, this, &CBestRouteSetupDlg::UseDistances);
    connect(Buttons_.at(QStringLiteral("Search")), &QPushButton::clicked, this, &CBestRouteSetupDlg::Search);
    connect(Buttons_.at(QStringLiteral("Exit")), &QPushButton::clicked, this, &QDialog::close);
    ShowRouteEnds();
}

void CBestRouteSetupDlg::ShowRouteEnds()
{
    Origin_->setText(QString::fromStdString(RouteEndText(Document_.BestRoute().Origin())));
    Destination_->setText(QString::fromStdString(RouteEndText(Document_.BestRoute().Destination())));
}

void CBestRouteSetupDlg::LoadTable()
{
    FileChooserOptions options;
    options.DefaultExtension = "dbf";
    options.Filter = TableFilter;
    const std::optional<std::string> path = ChooseFileToOpen(options);
    if (!path)
        return;
    const std::optional<std::vector<std::string>> fields = ChainWeightFields(Document_, *path);
    if (!fields)
        return;
    TablePath_ = *path;
    Fields_->clear();
    for (const std::string& field : *fields)
        Fields_->addItem(QString::fromStdString(field));
    if (Fields_->count() > 0)
        Fields_->setCurrentRow(0);
}

void CBestRouteSetupDlg::SetWeights()
{
    QListWidgetItem* field = Fields_->currentItem();
    if (field == nullptr || TablePath_.empty())
        return;
    if (Document_.UseChainWeightsFromTable(TablePath_, field->text().toStdString()))
        Cost_->setText(field->text());
}

void CBestRouteSetupDlg::UseDistances()
{
    Document_.UseChainLengths();
    Cost_->setText(QStringLiteral("Euclidean Distance"));
}

void CBestRouteSetupDlg::Search()
{
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double initCircle = c.toDouble(InitCircle_->text().trimmed(), &ok);
    if (!ok || !std::isfinite(initCircle)) {
        ShowMessage("Please enter a number.", MessageKind::Warning);
        InitCircle_->setFocus();
        InitCircle_->selectAll();
        return;
    }
    Document_.InitializeBestRoute();
    Document_.RunBestRoute(initCircle);
    if (const std::optional<std::string> result = ShortestDistanceText(Document_.BestRoute()))
        Result_->setText(QString::fromStdString(*result));
    showMinimized();
    if (parentWidget() != nullptr)
        parentWidget()->activateWindow();
}

} // namespace tessaro
