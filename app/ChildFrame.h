#pragma once

#include <QMdiSubWindow>

namespace tessaro {

class CAppDocument;
class CLumarixView;

// The window of one view of a document inside the main window, maximized when it is made.
// A document may have several; the document lives until its last one closes.
class CChildFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    // Titled by the document until the main window numbers the windows that share a title.
    explicit CChildFrame(CAppDocument& document, QWidget* parent = nullptr);

    CAppDocument& Document() const { return Document_; }
    CLumarixView* View() const { return View_; }
    // Two thirds of the area the window lives in, so that a window made maximized and then
    // cascaded, tiled or restored has a size to work in.
    QSize sizeHint() const override;

private:
    void UpdateBusy();

    CAppDocument& Document_;
    CLumarixView* View_;
};

} // namespace tessaro
