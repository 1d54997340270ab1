#include "app/ChildFrame.h"

#include "app/AppDocument.h"
#include "app/Icons.h"
#include "app/LumarixView.h"

namespace tessaro {

CChildFrame::CChildFrame(CAppDocument& document, QWidget* parent)
    : QMdiSubWindow(parent), Document_(document), View_(new CLumarixView(document.Doc()))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWidget(View_);
    setWindowIcon(ApplicationIcon());
    setWindowTitle(document.Title());
    connect(&document, &CAppDocument::ViewsChanged, View_, &CLumarixView::Refresh);
    connect(&document, &CAppDocument::FrameArrived, View_, &CLumarixView::ShowFrame);
    // The map a run ends with is shown whole, with its measures for a fill by value or error; a
    // run that did not complete left the map, and so its measures, as they were.
    connect(&document, &CAppDocument::RunEnded, View_, [this](const CartogramRunSummary& summary) {
        View_->EndFrames();
        if (summary.Result == CartogramRunSummary::Outcome::Completed)
            View_->SetPolygonMeasures(PolygonMeasures::FromRun(summary));
        View_->FitToWindow();
    });
    if (document.LastRun())
        View_->SetPolygonMeasures(PolygonMeasures::FromRun(*document.LastRun()));
    connect(&document, &CAppDocument::BusyChanged, this, &CChildFrame::UpdateBusy);
    // A pick in one view changes what every view of the document shows.
    connect(View_, &CLumarixView::RouteEndPicked, &document, &CAppDocument::RefreshViews);
    UpdateBusy();
}

QSize CChildFrame::sizeHint() const
{
    const QWidget* area = parentWidget();
    if (area == nullptr)
        return QMdiSubWindow::sizeHint();
    return (area->size() * 2 / 3).expandedTo(minimumSizeHint());
}

void CChildFrame::UpdateBusy()
{
    // While a run goes on the view shows its rounds but takes no clicks.
    View_->setEnabled(!Document_.Busy());
}

} // namespace tessaro
