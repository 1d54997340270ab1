#pragma once

#include "engine/CartoParams.h"

#include <QDialog>

#include <optional>
#include <string>

class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace tessaro {

// "Cartogram Mode": the cartogram command's step before the parameters. It chooses between the
// rounds the parameters set (four by default, whatever error they leave) and the convergence
// mode, which goes on round after round until the weighted mean error is below a target, leaves
// out and names a polygon that has no area, and exports only its result; with the convergence
// mode, its target error (in percent) and its largest number of rounds; and the folder the run's
// files go to, beside the input unless another is named.
class CCartogramModeDlg : public QDialog {
    Q_OBJECT
public:
    struct Choice {
        bool Converge = false;
        double TargetError = 0.001; // a fraction: 0.001 is 0.1 %
        int MaxRounds = 100;
        std::string OutputFolder; // empty: beside the input
    };
    static constexpr int MinRounds = 2;
    static constexpr int MaxRoundsAllowed = 1000;

    // `inputFolder` is where the files go when no other folder is named.
    CCartogramModeDlg(const Choice& initial, const QString& inputFolder, QWidget* parent = nullptr);

    // What the boxes hold once OK has accepted them.
    const Choice& Chosen() const { return Chosen_; }
    // OK: a target that is not a number above 0 and below 100 is refused with a prompt and the
    // dialog stays open; so is an output folder that does not exist and cannot be made.
    void accept() override;

    // The choice that a block stands for: its own mode, target and round limit.
    static Choice ChoiceOf(const CartoParams& block);
    // Puts the choice into the block. Switching the convergence mode on keeps the block as it was
    // in `before`, and switching it off brings that block back (the defaults, with the block's
    // thread count, when there is none), so the settings of the rounds mode are not lost.
    static void Apply(const Choice& choice, CartoParams& block, std::optional<CartoParams>& before);

    QRadioButton* SteppedButton() const { return Stepped_; }
    QRadioButton* ConvergeButton() const { return Converge_; }
    QLineEdit* TargetBox() const { return Target_; }
    QSpinBox* RoundsBox() const { return Rounds_; }
    QLineEdit* FolderBox() const { return Folder_; }
    // "Browse...": a folder chooser starting at the named folder or the input's.
    void BrowseFolder();

    // The mode, target and round limit last chosen in any document, kept between sessions;
    // nullopt before the first choice.
    static std::optional<Choice> RememberedChoice();
    static void Remember(const Choice& choice);

private:
    void EnableConvergenceBoxes();

    QRadioButton* Stepped_;
    QRadioButton* Converge_;
    QLineEdit* Target_;
    QSpinBox* Rounds_;
    QLineEdit* Folder_;
    QString InputFolder_;
    Choice Chosen_;
};

} // namespace tessaro
