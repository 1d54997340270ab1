#include "app/AppDocument.h"

#include "app/BestRouteSetupDlg.h"
#include "app/CartoParamsSetDlg.h"
#include "app/CartogramModeDlg.h"
#include "app/CartogramProgressDlg.h"
#include "app/CartogramRunner.h"
#include "app/GisCartogramDlg.h"
#include "app/NodeSearchDlg.h"
#include "app/ShapeFileFieldsDlg.h"
#include "document/BestRouteSetup.h"
#include "document/LumarixDoc.h"
#include "document/PictureExport.h"
#include "document/StaleRoundFiles.h"
#include "geodata/OgrLayerReader.h"
#include "geodata/SizeField.h"
#include "platform/NumberText.h"
#include "platform/TextCase.h"
#include "platform/UserInterface.h"
#include "platform/WaitGuard.h"
#include "render/MapPicture.h"
#include "render/MapPictureFile.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

namespace tessaro {
namespace {

std::optional<std::string> ChooseExportFile(const CLumarixDoc& document, const char* extension, const char* filter)
{
    FileChooserOptions options;
    options.DefaultExtension = extension;
    options.InitialName = ProposedExportName(document.DocumentPath);
    options.Filter = filter;
    options.OverwritePrompt = true;
    return ChooseFileToSave(options);
}

QString RunStatusText(const CartogramRunSummary& summary)
{
    using Outcome = CartogramRunSummary::Outcome;
    switch (summary.Result) {
    case Outcome::Completed: {
        QString text = QStringLiteral("Cartogram done: %1 rounds").arg(summary.RoundsTransformed);
        if (summary.FirstMeasures && summary.LastMeasures)
            text += QStringLiteral(", weighted mean error %1 at round 0, %2 at round %3")
                        .arg(QString::fromStdString(FormatFixed(summary.FirstMeasures->WeightedMeanError, 6)),
                             QString::fromStdString(FormatFixed(summary.LastMeasures->WeightedMeanError, 6)))
                        .arg(summary.LastRound);
        return text + QStringLiteral("; %1 files written.").arg(summary.WrittenFiles.size());
    }
    case Outcome::Cancelled:
        return summary.LastRound < 0
                   ? QStringLiteral("Cartogram cancelled before round 0 was finished.")
                   : QStringLiteral("Cartogram cancelled after round %1; every file written is complete.")
                         .arg(summary.LastRound);
    case Outcome::Refused:
    case Outcome::Unreadable:
        break;
    }
    return QStringLiteral("Cartogram not made.");
}

std::string EqualSharesText(const CCartogramJob& job)
{
    const std::string where = job.Reader == CCartogramJob::InputReader::Ogr
                                  ? "the layer " + (job.InputLayer.empty() ? job.ShapefilePath
                                                                           : job.InputLayer + " of " + job.ShapefilePath)
                                  : "the table beside " + job.ShapefilePath;
    if (job.SizeField.empty())
        return "No size field was chosen for " + where + "; every polygon was given an equal share.";
    return "No numeric field matching " + job.SizeField + " in " + where + "; every polygon was given an equal share.";
}

// A document opened from a shapefile; its ending decides, in any case, as it did for the open.
bool IsShapefilePath(const std::string& path)
{
    return UpperCaseAscii(path).ends_with(".SHP");
}

} // namespace

CAppDocument::CAppDocument(QString title) : Doc_(std::make_unique<CLumarixDoc>()), Title_(std::move(title)) {}

CAppDocument::~CAppDocument()
{
    // The dialogs refer to the document and its run; they go first.
    delete Progress_;
    delete BestRoute_;
    Runner_.reset();
}

CCartogramProgressDlg* CAppDocument::ProgressDialog() const { return Progress_; }

CBestRouteSetupDlg* CAppDocument::BestRouteDialog() const { return BestRoute_; }

std::unique_ptr<CCartogramJob> CAppDocument::ChooseShapefileJob(QWidget* window)
{
    CShapeFileFieldsDlg fields(window);
    // The file the document shows is proposed: the last cartogram's input, else the opened
    // shapefile.
    if (!LastInput_.Path.empty())
        fields.ProposeFile(LastInput_.Path);
    else if (IsShapefilePath(Doc_->DocumentPath))
        fields.ProposeFile(Doc_->DocumentPath);
    if (fields.exec() != QDialog::Accepted)
        return nullptr;
    auto job = std::make_unique<CCartogramJob>();
    job->ShapefilePath = fields.ShapefilePath();
    job->SizeField = fields.SizeField();
    return job;
}

std::unique_ptr<CCartogramJob> CAppDocument::ChooseGisJob(QWidget* window)
{
    const CLumarixDoc::GisLayerSource& source = *Doc_->ImportedLayer();
    std::vector<std::string> fields;
    if (const auto layers = COgrLayerReader::Describe(source.Path))
        for (const OgrLayerSummary& layer : *layers)
            if (layer.Name == source.Layer)
                fields = layer.NumericFields;
    if (!GisChoice_)
        GisChoice_ = CGisCartogramDlg::Choice{source.SizeField, Doc_->Companions,
                                              CGisCartogramDlg::FormatFor(source.Path)};
    CGisCartogramDlg dialog(source.Layer.empty() ? source.Path : source.Path + ":" + source.Layer, fields,
                            *GisChoice_, window);
    if (dialog.exec() != QDialog::Accepted)
        return nullptr;
    GisChoice_ = dialog.Chosen();
    Doc_->Companions = GisChoice_->Companions;
    auto job = std::make_unique<CCartogramJob>();
    Doc_->SetUpGisJob(*job);
    job->SizeField = GisChoice_->SizeField;
    job->ExportFormat = GisChoice_->Format;
    return job;
}

void CAppDocument::Cartogram(QWidget* window)
{
    if (Busy())
        return;
    // A document imported from a GIS source knows its map; its first step chooses the field,
    // the layers to move with the map and the output format instead.
    std::unique_ptr<CCartogramJob> job = Doc_->ImportedLayer() ? ChooseGisJob(window) : ChooseShapefileJob(window);
    if (!job || !ChooseMode(*job, window))
        return;
    CCartoParamsSetDlg parameters(Doc_->Params, window);
    if (parameters.exec() != QDialog::Accepted)
        return;
    StartRun(std::move(job), window);
}

bool CAppDocument::ChooseMode(CCartogramJob& job, QWidget* window)
{
    CCartogramModeDlg::Choice initial = CCartogramModeDlg::ChoiceOf(Doc_->Params);
    if (!ModeChosen_) {
        // An imported layer is a map of the user's own, often with polygons the rounds mode
        // cannot take (no area, a tiny share): the convergence mode is proposed for it. Other
        // documents start from the mode last chosen.
        if (const auto remembered = CCartogramModeDlg::RememberedChoice())
            initial = *remembered;
        if (Doc_->ImportedLayer())
            initial.Converge = true;
    }
    initial.OutputFolder = OutputFolder_;
    CCartogramModeDlg dialog(initial, QFileInfo(QString::fromStdString(job.ShapefilePath)).absolutePath(), window);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    CCartogramModeDlg::Apply(dialog.Chosen(), Doc_->Params, SteppedParams_);
    CCartogramModeDlg::Remember(dialog.Chosen());
    ModeChosen_ = true;
    OutputFolder_ = dialog.Chosen().OutputFolder;
    job.OutputFolder = OutputFolder_;
    return true;
}

bool CAppDocument::ConfirmEarlierFiles(const CCartogramJob& job, QWidget* window)
{
    const std::vector<std::string> earlier = FindStaleRoundFiles(job);
    if (earlier.empty())
        return true;
    constexpr size_t Named = 6;
    QStringList names;
    for (size_t i = 0; i < std::min(earlier.size(), Named); ++i)
        names.append(QFileInfo(QString::fromStdString(earlier[i])).fileName());
    if (earlier.size() > Named)
        names.append(QStringLiteral("and %1 more").arg(earlier.size() - Named));
    const QString folder = QFileInfo(QString::fromStdString(earlier.front())).absolutePath();
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Cartogram with Tessaro"),
                    QStringLiteral("%1 files of an earlier run lie in %2 under the names this run writes: %3.\n\n"
                                   "This run writes its rounds over those of the same numbers, and the earlier "
                                   "run's other rounds would pass for this one's. Remove the earlier run's files "
                                   "first?")
                        .arg(earlier.size())
                        .arg(QDir::toNativeSeparators(folder), names.join(QStringLiteral(", "))),
                    QMessageBox::NoButton, window);
    QPushButton* remove = box.addButton(QStringLiteral("Remove Them and Run"), QMessageBox::AcceptRole);
    QPushButton* keep = box.addButton(QStringLiteral("Run Anyway"), QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(remove);
    box.exec();
    if (box.clickedButton() == keep)
        return true;
    if (box.clickedButton() != remove)
        return false;
    const std::vector<std::string> kept = RemoveFiles(earlier);
    if (kept.empty())
        return true;
    ShowMessage("Cannot remove " + kept.front() + ", a file of an earlier run; the cartogram was not made.",
                MessageKind::Error);
    return false;
}

void CAppDocument::StartRun(std::unique_ptr<CCartogramJob> job, QWidget* window)
{
    if (!Doc_->PrepareCartogram(*job) || !ConfirmEarlierFiles(*job, window))
        return;
    // A thread count of 1 or less runs every step on the run's own thread, whatever the count.
    job->Params.ThreadCount = std::max(job->Params.ThreadCount, 1);
    // The dialog takes any thread count, step count and minimum depth; values no run can work
    // with (thousands of threads, a quadtree of billions of cells) are refused here.
    if (const std::string problem = job->Params.LimitProblem(); !problem.empty()) {
        ShowMessage(problem, MessageKind::Error);
        return;
    }

    Runner_ = std::make_unique<CCartogramRunner>(*Doc_, std::move(job));
    connect(Runner_.get(), &CCartogramRunner::RoundFinished, this, &CAppDocument::FrameArrived);
    connect(Runner_.get(), &CCartogramRunner::Finished, this, &CAppDocument::OnRunFinished);
    RunWindow_ = window;
    Progress_ = new CCartogramProgressDlg(*Runner_, Title_, window != nullptr ? window->window() : nullptr);
    Progress_->setAttribute(Qt::WA_DeleteOnClose);
    Progress_->show();
    // The progress windows of runs going on together are set apart, not on top of each other.
    if (QWidget* owner = Progress_->parentWidget()) {
        const qsizetype others = owner->findChildren<CCartogramProgressDlg*>().size() - 1;
        Progress_->move(Progress_->pos() + QPoint(32, 32) * int(others));
    }
    emit BusyChanged();
    Runner_->Start();
}

void CAppDocument::OnRunFinished(const CartogramRunSummary& summary)
{
    LastRun_ = summary;
    if (summary.Result == CartogramRunSummary::Outcome::Completed) {
        const CCartogramJob& job = Runner_->Job();
        LastResult_ = summary;
        LastInput_ = {job.ShapefilePath, job.InputLayer, job.Reader == CCartogramJob::InputReader::Ogr,
                      job.Params.Converge ? job.Params.TargetError : 0.0};
        TakeInputTitle(job.ShapefilePath);
    }
    if (Progress_)
        Progress_->Finish();
    if (summary.EqualShares && summary.Result != CartogramRunSummary::Outcome::Refused)
        ShowMessage(EqualSharesText(Runner_->Job()), MessageKind::Warning);
    if (summary.RefusedForPolygonArea && !Runner_->Job().Params.Converge) {
        // Asked once the runner's signal has returned, outside it.
        Retry_ = Runner_->Job().Again();
        QTimer::singleShot(0, this, &CAppDocument::OfferConvergence);
    }
    // The runner is inside its own signal; it goes once the signal has returned.
    Runner_.release()->deleteLater();
    emit RunEnded(summary);
    emit BusyChanged();
    emit StatusMessage(RunStatusText(summary));
}

std::vector<AttributeValue> CAppDocument::RecordAttributes(uint32_t record) const
{
    if (LastInput_.Path.empty())
        return {};
    if (LastInput_.Ogr)
        return ReadFeatureRecord(LastInput_.Path, LastInput_.Layer, record);
    return ReadTableRecord(TablePathFor(LastInput_.Path), record);
}

std::vector<AttributeValue> CAppDocument::DocumentAttributes(uint32_t polygon) const
{
    if (const auto& imported = Doc_->ImportedLayer())
        return polygon < imported->PolygonFeatures.size()
                   ? ReadFeatureRecord(imported->Path, imported->Layer, uint32_t(imported->PolygonFeatures[polygon]))
                   : std::vector<AttributeValue>{};
    if (IsShapefilePath(Doc_->DocumentPath))
        return ReadTableRecord(TablePathFor(Doc_->DocumentPath), polygon);
    return {};
}

void CAppDocument::TakeInputTitle(const std::string& input)
{
    // The document now shows the deformed map of that file, and is called after it.
    const QString title = QFileInfo(QString::fromStdString(input)).fileName();
    if (title.isEmpty() || title == Title_)
        return;
    Title_ = title;
    emit TitleChanged();
}

void CAppDocument::OfferConvergence()
{
    std::unique_ptr<CCartogramJob> job = std::move(Retry_);
    if (!job || Busy())
        return;
    if (!AskYesNo("The rounds stopped on a polygon without area. Make the cartogram in the convergence mode "
                  "instead? It moves such a polygon with the map, leaves it out of the measures and names it."))
        return;
    CCartogramModeDlg::Choice converge = CCartogramModeDlg::ChoiceOf(Doc_->Params);
    converge.Converge = true;
    CCartogramModeDlg::Apply(converge, Doc_->Params, SteppedParams_);
    ModeChosen_ = true;
    StartRun(std::move(job), RunWindow_);
}

void CAppDocument::ExportPicture()
{
    if (const std::optional<std::string> path =
            ChooseExportFile(*Doc_, "emf", "Enhanced Metadata File(*.emf)|*.emf|All Files (*.*)|*.*|"))
        ExportNetworkPicture(*Doc_, *path);
}

void CAppDocument::ExportMapPicture(const MapStyle& style, const MapColoring& coloring)
{
    const std::optional<std::string> path = ChooseExportFile(
        *Doc_, "png", "PNG picture (*.png)|*.png|SVG picture (*.svg)|*.svg|PDF document (*.pdf)|*.pdf|");
    if (!path)
        return;
    MapScene scene;
    scene.Result = &Doc_->Network().PolygonLayer();
    scene.Style = style;
    scene.Coloring = coloring;
    const CMapPicture picture(scene);
    const CWaitGuard wait;
    if (const std::optional<std::string> problem = WriteMapPicture(picture, *path, {}, Doc_->InputFiles()))
        ShowMessage(*problem, MessageKind::Error);
}

void CAppDocument::ExportPajek()
{
    if (const std::optional<std::string> path =
            ChooseExportFile(*Doc_, "net", "Pajek Network File(*.net)|*.net|All Files (*.*)|*.*|"))
        Doc_->ExportPajek(*path);
}

void CAppDocument::ExportGraphviz()
{
    if (const std::optional<std::string> path = ChooseExportFile(
            *Doc_, "gv",
            "Graphviz Input gv File(*.gv)|*.gv|Graphviz Input Dot File(*.dot)|*.dot|All Files (*.*)|*.*|"))
        Doc_->ExportGraphviz(*path);
}

void CAppDocument::SelectNode(bool origin, QWidget* window)
{
    CNodeSearchDlg dialog(Doc_->Network(), window);
    if (dialog.exec() == QDialog::Accepted && dialog.SelectedNode() != nullptr) {
        if (origin)
            Doc_->SetOriginNode(dialog.SelectedNode());
        else
            Doc_->SetDestinationNode(dialog.SelectedNode());
    }
    RefreshViews();
}

void CAppDocument::BestRouteInitialization()
{
    ShowMessage(NodeCountText(Doc_->Network()), MessageKind::Information);
}

void CAppDocument::BestRouteSetup(QWidget* mainWindow)
{
    delete BestRoute_;
    BestRoute_ = new CBestRouteSetupDlg(*Doc_, mainWindow);
    BestRoute_->setAttribute(Qt::WA_DeleteOnClose);
    BestRoute_->show();
}

void CAppDocument::RefreshViews()
{
    if (BestRoute_)
        BestRoute_->ShowRouteEnds();
    emit ViewsChanged();
}

} // namespace tessaro
