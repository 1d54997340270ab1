#pragma once

#include "app/GisCartogramDlg.h"
#include "engine/RoundFrame.h"
#include "geodata/RecordAttributes.h"
#include "run/CartogramJob.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QWidget;

namespace tessaro {

class CBestRouteSetupDlg;
class CCartogramProgressDlg;
class CCartogramRunner;
class CLumarixDoc;
struct MapColoring;
struct MapStyle;

// One open document as the desktop shell holds it: the document itself, its title, and the
// document commands with their dialogs. A cartogram runs on a worker thread; while it runs the
// document is busy and takes no other command, and its views show each round as it arrives.
class CAppDocument : public QObject {
    Q_OBJECT
public:
    explicit CAppDocument(QString title);
    // Cancels a run still going and waits for it; closes the document's dialogs.
    ~CAppDocument() override;

    CLumarixDoc& Doc() { return *Doc_; }
    const CLumarixDoc& Doc() const { return *Doc_; }
    const QString& Title() const { return Title_; }
    // True while a cartogram runs.
    bool Busy() const { return Runner_ != nullptr; }
    CCartogramRunner* Runner() const { return Runner_.get(); }
    CCartogramProgressDlg* ProgressDialog() const;
    CBestRouteSetupDlg* BestRouteDialog() const;
    // The summary of the last run that ended.
    const std::optional<CartogramRunSummary>& LastRun() const { return LastRun_; }
    // The summary of the last run that completed: the map the document shows.
    const std::optional<CartogramRunSummary>& LastResult() const { return LastResult_; }
    // The convergence mode's target of that run; 0 for the rounds mode or no run.
    double LastRunTarget() const { return LastInput_.TargetError; }
    // The fields of record `record` (from 0) of the last completed run's input: its table, or its layer's
    // feature; empty when they cannot be read.
    std::vector<AttributeValue> RecordAttributes(uint32_t record) const;
    // The fields of the record of polygon `polygon` of the file the document was opened from
    // (a shapefile's table, an imported layer's feature); empty otherwise.
    std::vector<AttributeValue> DocumentAttributes(uint32_t polygon) const;

    // The document commands; `window` is the window their dialogs belong to.
    void Cartogram(QWidget* window);
    void ExportPicture();
    // File > Export Map Picture: the document's map (the result after a run, the map as read
    // before) as a view draws it in `style` and `coloring`, with its legend, as a PNG, SVG or
    // PDF picture by the chosen name's ending; a name that is an input is refused.
    void ExportMapPicture(const MapStyle& style, const MapColoring& coloring);
    void ExportPajek();
    void ExportGraphviz();
    void SelectNode(bool origin, QWidget* window);
    void BestRouteInitialization();
    void BestRouteSetup(QWidget* mainWindow);

    // Every view of the document redraws, and the best-route dialog shows the route's ends.
    void RefreshViews();

signals:
    void ViewsChanged();
    void FrameArrived(std::shared_ptr<const tessaro::CRoundFrame> frame);
    void RunEnded(const tessaro::CartogramRunSummary& summary);
    void BusyChanged();
    // The document's title changed (a run deformed another file).
    void TitleChanged();
    // A line for the status bar.
    void StatusMessage(const QString& text);

private:
    // The cartogram command's first step: a job for the chosen shapefile and field, or null
    // after Cancel.
    std::unique_ptr<CCartogramJob> ChooseShapefileJob(QWidget* window);
    // The same for an imported GIS layer, whose choices are remembered for the next run.
    std::unique_ptr<CCartogramJob> ChooseGisJob(QWidget* window);
    // The cartogram mode dialog on the document's block, which also sets the job's output
    // folder; false after Cancel.
    bool ChooseMode(CCartogramJob& job, QWidget* window);
    // When round files of an earlier run lie where this run writes: asks whether to remove them
    // first, run anyway, or not run; false for not running.
    bool ConfirmEarlierFiles(const CCartogramJob& job, QWidget* window);
    // After a completed run: the document is titled after the file it deformed.
    void TakeInputTitle(const std::string& input);
    // Prepares the job from the document's block and starts it on a worker thread, with its
    // progress window; nothing runs when the preparation or the block's limits refuse it.
    void StartRun(std::unique_ptr<CCartogramJob> job, QWidget* window);
    void OnRunFinished(const CartogramRunSummary& summary);
    // After the rounds mode stopped on a polygon without area: asks whether to run the same job
    // in the convergence mode, and does.
    void OfferConvergence();

    std::unique_ptr<CLumarixDoc> Doc_;
    QString Title_;
    std::unique_ptr<CCartogramRunner> Runner_;
    QPointer<CCartogramProgressDlg> Progress_;
    QPointer<CBestRouteSetupDlg> BestRoute_;
    std::optional<CartogramRunSummary> LastRun_;
    std::optional<CartogramRunSummary> LastResult_;
    std::optional<CGisCartogramDlg::Choice> GisChoice_;
    // The block as the rounds mode had it, while the convergence mode is chosen.
    std::optional<CartoParams> SteppedParams_;
    bool ModeChosen_ = false;
    QPointer<QWidget> RunWindow_;
    std::string OutputFolder_;             // the output folder last chosen; empty beside the input
    // What the last completed run read, and its target.
    struct RunInput {
        std::string Path;
        std::string Layer;
        bool Ogr = false;
        double TargetError = 0.0;
    };
    RunInput LastInput_;
    std::unique_ptr<CCartogramJob> Retry_; // the refused job, until the offer is answered
};

} // namespace tessaro
