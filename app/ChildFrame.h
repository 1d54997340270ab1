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
    // `number` counts the document's windows from 1; the second and later carry it in their title.
    CChildFrame(CAppDocument& document, int number, QWidget* parent = nullptr);

    CAppDocument& Document() const { return Document_; }
    CLumarixView* View() const { return View_; }

private:
    void UpdateBusy();

    CAppDocument& Document_;
    CLumarixView* View_;
};

} // namespace tessaro
