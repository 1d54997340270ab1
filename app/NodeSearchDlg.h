#pragma once

#include "network/NodeSearch.h"

#include <QDialog>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace tessaro {

class CNetwork;
class CNetworkNode;

// Dialog 138, "Node Search Dialog": finds a node by name for Start and End Node Selection.
// Search lists at most 12 names that begin with the filter's first character and contain the
// filter; a double click on one picks its node and enables OK.
class CNodeSearchDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int FilterMaxLength = 64;

    // Searches `network`, which must outlive the dialog.
    explicit CNodeSearchDlg(CNetwork& network, QWidget* parent = nullptr);

    // The node picked by a double click; null until then.
    CNetworkNode* SelectedNode() const { return Search_.Selected(); }

    QLineEdit* FilterEdit() const { return Filter_; }
    QListWidget* ResultList() const { return List_; }
    QLineEdit* ResultEdit() const { return Result_; }
    QPushButton* SearchButton() const { return SearchButton_; }
    QPushButton* OkButton() const { return Ok_; }

    void RunSearch();
    void PickEntry(int row);

protected:
    void showEvent(QShowEvent* event) override;

private:
    CNodeSearch Search_;
    QLineEdit* Filter_;
    QListWidget* List_;
    QLineEdit* Result_;
    QPushButton* SearchButton_;
    QPushButton* Ok_;
};

} // namespace tessaro
