#include "app/ShapeFileFieldsDlg.h"

#include "app/DialogUnits.h"
#include "geodata/SizeField.h"
#include "platform/UserInterface.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace tessaro {

CShapeFileFieldsDlg::CShapeFileFieldsDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Select Shapefile and a field for size"));
    const CDialogUnits units(font());
    auto* stepA = new QLabel(
        QStringLiteral("1.A Select and Open a Shapefile with at least \"shp\", \"dbf\", and \"shx\" files."), this);
    stepA->setWordWrap(true);
    stepA->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    stepA->setGeometry(units.Rect(17, 15, 171, 21));
    auto* stepB = new QLabel(QStringLiteral("1.B Choose one from the eligible fields for the desired sizes of polygons, "
                                            "i.e., the \"population\". "),
                             this);
    stepB->setWordWrap(true);
    stepB->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    stepB->setGeometry(units.Rect(16, 43, 171, 21));

    Select_ = new QPushButton(QStringLiteral("Select Shapefile ..."), this);
    Select_->setObjectName(QStringLiteral("1079"));
    Select_->setAutoDefault(false);
    Select_->setGeometry(units.Rect(15, 70, 78, 14));
    Fields_ = new QListWidget(this);
    Fields_->setObjectName(QStringLiteral("1080"));
    Fields_->setSelectionMode(QAbstractItemView::SingleSelection);
    Fields_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Fields_->setGeometry(units.Rect(15, 91, 173, 90));
    Next_ = new QPushButton(QStringLiteral("Next"), this);
    Next_->setObjectName(QStringLiteral("Next"));
    Next_->setDefault(true);
    Next_->setEnabled(false);
    Next_->setGeometry(units.Rect(59, 189, 50, 14));
    Cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    Cancel_->setObjectName(QStringLiteral("Cancel"));
    Cancel_->setAutoDefault(false);
    Cancel_->setGeometry(units.Rect(129, 189, 50, 14));
    setFixedSize(units.Size(204, 210));

    connect(Select_, &QPushButton::clicked, this, &CShapeFileFieldsDlg::SelectShapefile);
    connect(Fields_, &QListWidget::itemSelectionChanged, this, [this] { Next_->setEnabled(true); });
    connect(Fields_, &QListWidget::itemDoubleClicked, this, [this] { accept(); });
    connect(Next_, &QPushButton::clicked, this, &CShapeFileFieldsDlg::accept);
    connect(Cancel_, &QPushButton::clicked, this, &CShapeFileFieldsDlg::reject);
}

void CShapeFileFieldsDlg::SelectShapefile()
{
    FileChooserOptions options;
    options.DefaultExtension = "shp";
    options.Filter = ShapefileFilter;
    options.InitialName = Proposed_;
    const std::optional<std::string> chosen = ChooseFileToOpen(options);
    if (!chosen)
        return;
    ShapefilePath_ = *chosen;
    const std::optional<std::vector<std::string>> fields = ListSizeFields(TablePathFor(ShapefilePath_));
    if (!fields)
        return;
    Fields_->clear();
    for (const std::string& field : *fields)
        Fields_->addItem(QString::fromStdString(field));
}

void CShapeFileFieldsDlg::accept()
{
    const QList<QListWidgetItem*> selected = Fields_->selectedItems();
    SizeField_ = selected.isEmpty() ? std::string(FallbackField) : selected.constFirst()->text().toStdString();
    QDialog::accept();
}

void CShapeFileFieldsDlg::reject()
{
    ShapefilePath_.clear();
    SizeField_.clear();
    QDialog::reject();
}

} // namespace tessaro
