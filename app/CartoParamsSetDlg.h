#pragma once

#include "engine/CartoParams.h"

#include <QDialog>
#include <QString>

#include <map>
#include <optional>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tessaro {

class CSpinEdit;

// Dialog 140, "Set Cartogram Parameters": edits a document's parameter block, and loads and
// saves it as a ".cartoparam" file. The boxes hold the dialog's working copy; the block changes
// only on OK, Save and Load. Every numeric box is found by its caption (Box, BoxText).
// Values the dialog has no control for (the convergence mode's named settings, a force type or a
// densification other than the radio buttons offer) are kept through OK and Save, and a line
// under the buttons names them.
class CCartoParamsSetDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* ParamFileFilter =
        "Cartogram Parameter File(*.cartoparam)|*.cartoparam|All Files (*.*)|*.*|";

    // Works on `params`, which must outlive the dialog.
    explicit CCartoParamsSetDlg(CartoParams& params, QWidget* parent = nullptr);

    // The block the boxes would store, after checking every box in the dialog's order; on the
    // first box that fails, its prompt is shown, the box takes the focus and nothing is returned.
    std::optional<CartoParams> TakeValues();

    // OK: takes the values and stores them; the dialog stays open when a box fails.
    void accept() override;
    // "Save ...": takes and stores the values, then writes them to the file the user names.
    void Save();
    // "Load ...": reads the file the user names into the block and shows it.
    void Load();

    // The numeric box with that caption (a line edit or a spin edit), and its text.
    QWidget* Box(const QString& caption) const;
    QString BoxText(const QString& caption) const;
    CSpinEdit* Spin(const QString& caption) const;
    QAbstractButton* Radio(const QString& caption) const;
    QCheckBox* CheckBox(const QString& caption) const;
    QPushButton* Button(const QString& text) const;
    // The line naming the kept values; hidden when there are none.
    QLabel* KeptValues() const { return Kept_; }

private:
    QWidget* MakeBox(const QString& caption, bool spin);
    void SetBoxText(const QString& caption, const QString& text);
    // Shows the block in the boxes: the working copy taken from it.
    void ShowBlock();
    void SetSpinRangesOnOpen();
    void SetSpinRangesOnLoad();
    // The radio choices of force type and densification, or the block's own value when it is one
    // no button shows and the user has not clicked one.
    ForceDecay TakenForceType() const;
    Densification TakenDensification() const;

    CartoParams& Params_;
    std::map<QString, QWidget*> Boxes_;
    std::map<QString, QAbstractButton*> Radios_;
    std::map<QString, QCheckBox*> Checks_;
    std::map<QString, QPushButton*> Buttons_;
    QButtonGroup* ForceType_;
    QButtonGroup* ElasticityType_;
    QButtonGroup* Densification_;
    QLabel* Kept_;
    bool ForceTypeClicked_ = false;
    bool DensificationClicked_ = false;
};

} // namespace tessaro
