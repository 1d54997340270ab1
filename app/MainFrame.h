#pragma once

#include "app/RecentFileList.h"

#include <QMainWindow>
#include <QPointer>

#include <map>
#include <memory>
#include <vector>

class QDockWidget;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QPrinter;
class QToolBar;

namespace tessaro {

class CAppDocument;
class CChildFrame;
class CQtUserInterface;
class CResultPanel;

// The main window: a multi-document area whose child windows are maximized, the toolbar, the
// status bar with its message pane and three indicator panes, and two menu bars: the document
// menu while a document window is open and the no-document menu otherwise. Every command is a
// QAction named "ID_<id>".
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    static constexpr const char* ProductName = "Tessaro";
    static constexpr const char* OpenFilter = "Biblioraphy File (*.txt)|*.txt|Citation Files (*.csv)|*.csv|"
                                              "Shapefile(*.shp;*.shx;*.dbf)|*.shp; *.shx;*.dbf|All Files (*.*)|*.*|";

    // `ui` (may be null) is the installed Qt user interface, whose refresh requests reach the
    // documents' views through this window.
    explicit CMainFrame(CQtUserInterface* ui = nullptr, QWidget* parent = nullptr);
    ~CMainFrame() override;

    QAction* Action(int id) const;
    QToolBar* ToolBar() const { return ToolBar_; }
    QMdiArea* MdiArea() const { return Mdi_; }
    QDockWidget* ResultDock() const { return ResultDock_; }
    CResultPanel* Results() const { return Results_; }
    // The menus of the document menu bar and of the no-document menu bar.
    const std::vector<QMenu*>& DocumentMenus() const { return DocumentMenus_; }
    const std::vector<QMenu*>& NoDocumentMenus() const { return NoDocumentMenus_; }
    // The status bar's panes: the message pane, then "CAP", "NUM" and "SCRL".
    std::vector<QLabel*> StatusPanes() const;

    // New: an empty document with its window.
    CAppDocument* NewDocument();
    // Open: a new document read from the file, with its window; null (and no document) when the
    // file cannot be opened or its ending is unknown. A successful open heads the recent files.
    CAppDocument* OpenDocument(const QString& path);
    // Import GIS Layer: the layer and field chosen for the source at `path`, then a new document
    // holding its polygons, with its window; null (and no document) after Cancel or when the
    // source cannot be read.
    CAppDocument* ImportGisDocument(const QString& path);
    // A recent file: the document already open on it is activated, otherwise it is opened.
    CAppDocument* OpenRecentFile(const QString& path);
    // At start: the files the command line names are opened; without any, one empty document.
    void ProcessCommandLine(const QStringList& arguments);

    CChildFrame* ActiveChild() const;
    CAppDocument* ActiveDocument() const;
    std::vector<CAppDocument*> Documents() const;
    const CRecentFileList& RecentFiles() const { return Recent_; }

    // Redraws the views of the document at `address` (a document or its network); all views for null.
    void RefreshViews(const void* address);

protected:
    void closeEvent(QCloseEvent* event) override;
    // While cartograms run: asks whether to quit and cancel them; true when nothing runs.
    bool ConfirmQuitDuringRuns();

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void ConnectCommands();
    QMenu* MakeMenu(const QString& title, const std::vector<int>& ids);

    CChildFrame* AddChild(CAppDocument& document);
    CAppDocument* Adopt(std::unique_ptr<CAppDocument> document);
    void ForgetDocumentIfUnseen(CAppDocument* document);
    void OnActiveChildChanged();
    // The dock of the last run's result, hidden until a run completes; Cartograms > "Cartogram
    // Result" shows and hides it.
    void CreateResultDock();
    // The result panel shows the active document's last run.
    void ShowResult();
    // A row of the result panel was selected: the active view highlights and centres it.
    void OnResultPolygonSelected(int polygon);
    // Identify clicked a polygon of a view of `document` (-1 beside every polygon).
    void OnPolygonIdentified(CAppDocument& document, int polygon, QPoint globalPos);
    // File > Close: closes every window of the active document.
    void OnClose();
    // Numbers the windows that share a title and sets the main window's title.
    void NumberWindowTitles();
    // "Tessaro - title" for the active window; a maximized one adds " - [title]" itself.
    void UpdateTitle();
    void UpdateCommandStates();
    void ShowMenus(bool documentMenu);
    void RebuildRecentFiles();
    void SaveRecentFiles();

    void OnOpen();
    void OnImportGisLayer();
    void OnNewWindow();
    void OnArrange();
    void OnPrint();
    void OnPrintPreview();
    void OnPrinterSetup();
    void OnAbout();
    void OnViewMode(int id);
    QPrinter& Printer();

    std::map<int, QAction*> Actions_;
    QMdiArea* Mdi_;
    QToolBar* ToolBar_ = nullptr;
    QLabel* MessagePane_ = nullptr;
    std::vector<QLabel*> IndicatorPanes_;
    std::vector<QMenu*> DocumentMenus_;
    std::vector<QMenu*> NoDocumentMenus_;
    QMenu* DocumentFileMenu_ = nullptr;
    QAction* RecentFilesEnd_ = nullptr;
    std::vector<QAction*> RecentActions_;
    QMenu* WindowMenu_ = nullptr;
    QMenu* CartogramsMenu_ = nullptr;
    QDockWidget* ResultDock_ = nullptr;
    CResultPanel* Results_ = nullptr;
    bool DocumentMenuShown_ = false;
    std::vector<std::unique_ptr<CAppDocument>> Documents_;
    int UntitledCount_ = 0;
    CRecentFileList Recent_;
    std::unique_ptr<QPrinter> Printer_;
};

} // namespace tessaro
