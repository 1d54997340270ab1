#include "app/NodeSearchDlg.h"

#include "network/NetworkNode.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace tessaro {

CNodeSearchDlg::CNodeSearchDlg(CNetwork& network, QWidget* parent) : QDialog(parent), Search_(network)
{
    setWindowTitle(QStringLiteral("Node Search Dialog"));
    Filter_ = new QLineEdit;
    Filter_->setObjectName(QStringLiteral("1034"));
    Filter_->setMaxLength(FilterMaxLength);
    SearchButton_ = new QPushButton(QStringLiteral("Search"));
    SearchButton_->setObjectName(QStringLiteral("1037"));
    List_ = new QListWidget;
    List_->setObjectName(QStringLiteral("1035"));
    List_->setSelectionMode(QAbstractItemView::SingleSelection);
    Result_ = new QLineEdit;
    Result_->setObjectName(QStringLiteral("1036"));
    Result_->setReadOnly(true);
    Ok_ = new QPushButton(QStringLiteral("OK"));
    Ok_->setObjectName(QStringLiteral("OK"));
    Ok_->setEnabled(false);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    cancel->setObjectName(QStringLiteral("Cancel"));
    // Enter searches while the filter is being typed; OK is pressed on purpose.
    SearchButton_->setDefault(true);
    Ok_->setAutoDefault(false);
    cancel->setAutoDefault(false);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Node name:")), 0, 0);
    grid->addWidget(Filter_, 0, 1);
    grid->addWidget(SearchButton_, 0, 2);
    grid->addWidget(List_, 1, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Selected:")), 2, 0);
    grid->addWidget(Result_, 2, 1, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Ok_);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 3, 0, 1, 3);

    connect(Filter_, &QLineEdit::textChanged, this, [this] { Ok_->setEnabled(false); });
    connect(SearchButton_, &QPushButton::clicked, this, &CNodeSearchDlg::RunSearch);
    connect(List_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { PickEntry(List_->row(item)); });
    connect(Ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CNodeSearchDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    SearchButton_->setFocus();
}

void CNodeSearchDlg::RunSearch()
{
    if (!Search_.Search(Filter_->text().toStdString()))
        return;
    List_->clear();
    Result_->clear();
    for (const std::string& entry : Search_.Entries())
        List_->addItem(QString::fromStdString(entry));
}

void CNodeSearchDlg::PickEntry(int row)
{
    if (row < 0 || !Search_.Select(static_cast<std::size_t>(row)))
        return;
    Result_->setText(QString::fromStdString(Search_.ResultText()));
    Ok_->setEnabled(true);
    Ok_->setDefault(true);
    Ok_->setFocus();
}

} // namespace tessaro
