#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>

namespace tessaro::test {

// Answers the modal windows a command opens, in order: a short timer polls
// QApplication::activeModalWidget(), and each new modal window is handed to the next step.
// Steps run from a fresh event, so a step may open a nested modal window that the following
// step answers.
class CModalDriver : public QObject {
    Q_OBJECT
public:
    using Step = std::function<void(QWidget* modal)>;

    CModalDriver();

    // The step for the next modal window that appears.
    void Then(Step step) { Steps_.push_back(std::move(step)); }
    // Message boxes that appear when no step is waiting are confirmed.
    void ConfirmOtherMessages() { ConfirmMessages_ = true; }
    // All steps taken, and no window had to be closed for want of one.
    bool Done() const { return Steps_.empty() && Running_ == 0 && !ClosedStuck_; }
    // Waits (processing events) until every step ran or `milliseconds` passed; true when done.
    bool Wait(int milliseconds = 30000);

private:
    // A modal window open this long with no step running for it is closed with a warning.
    static constexpr qint64 StuckMilliseconds = 15000;

    void Poll();
    void CloseWhenStuck(QWidget* modal);

    QTimer Timer_;
    std::deque<Step> Steps_;
    // Modal windows already handed to a step; a window is handed over once.
    QList<QPointer<QWidget>> Seen_;
    bool ConfirmMessages_ = false;
    int Running_ = 0;
    QPointer<QWidget> Stuck_;
    QElapsedTimer StuckFor_;
    bool ClosedStuck_ = false;
};

// Types `text` into a line edit or spin box as a user would: select all, then the keys.
void TypeInto(QWidget* box, const QString& text);
// Queues the answers of the shapefile and field dialog: "Select Shapefile ..." answered with
// `input` (the chooser's proposed file kept in `proposed` when given), `field` picked, Next.
void ChooseShapefileAndField(CModalDriver& driver, const QString& input, const QString& field,
                             QString* proposed = nullptr);
// Answers the cartogram mode dialog `modal`: the convergence mode or the rounds mode, then OK.
void ChooseMode(QWidget* modal, bool converge);
// Clicks the push button of `parent` whose text is `text` (the first one found).
void ClickButton(QWidget* parent, const QString& text);
// Answers the file chooser `modal` with `path`, as typing it and pressing Open or Save would.
void ChooseFile(QWidget* modal, const QString& path);
// The text of the message box `modal`, or empty when it is none.
QString MessageText(QWidget* modal);

// The example data folder of the source tree, and a scratch copy of the US states example in
// `folder` (returns the copied .shp path).
QString ExampleFolder();
QString CopyUsStates(const QString& folder);
// The same for the example `name` (a folder of examples/ holding `name`.shp and its files).
QString CopyExample(const QString& folder, const QString& name);

// A private settings folder, so tests neither read nor change the user's settings.
void UsePrivateSettings(const QString& folder);

} // namespace tessaro::test
