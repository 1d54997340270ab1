#include "app/MainFrame.h"

#include "app/AboutDlg.h"
#include "app/AppDocument.h"
#include "app/ChildFrame.h"
#include "app/CommandTable.h"
#include "app/Icons.h"
#include "app/ImportGisLayerDlg.h"
#include "app/LumarixView.h"
#include "app/QtUserInterface.h"
#include "app/ResultPanel.h"
#include "document/LumarixDoc.h"
#include "geodata/OgrLayerReader.h"
#include "platform/UserInterface.h"

#include <QCloseEvent>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QOpenGLWidget>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>
#include <QToolTip>

#include <algorithm>
#include <map>

namespace tessaro {
namespace {

using namespace CommandId;

constexpr int Separator = 0;

// Commands that work on the active document and wait while it runs a cartogram.
constexpr int DocumentCommands[] = {ExportMapPicture,
                                    ExportEmf,
                                    ExportPajek,
                                    ExportGraphviz,
                                    StartNodeSelection,
                                    EndNodeSelection,
                                    BestRouteSetup,
                                    BestRouteInitialization,
                                    Cartogram,
                                    SetParameters,
                                    Copy,
                                    CopyAsLines,
                                    ZoomIn,
                                    ZoomOut,
                                    FullExtent,
                                    SelectOrigin,
                                    SelectDestination,
                                    SelectCenter,
                                    EditMapStyle,
                                    Identify};
// Commands that need a document window, busy or not.
constexpr int WindowCommands[] = {Close, Print, PrintPreview, NewWindow, Cascade, TileHorizontally, Arrange,
                                  NextPane, PreviousPane};

// The toolbar, left to right; 0 is a separator.
constexpr int ToolBarCommands[] = {New,          Open,        Save,      Separator,    Cut,
                                   Copy,         Paste,       Separator, ZoomIn,       ZoomOut,
                                   FullExtent,   Separator,   SelectOrigin, SelectDestination, SelectCenter,
                                   Separator,    Print,       Separator, About};

CLumarixView::Mode ModeOf(int id)
{
    switch (id) {
    case ZoomIn:
        return CLumarixView::Mode::ZoomIn;
    case ZoomOut:
        return CLumarixView::Mode::ZoomOut;
    case SelectOrigin:
        return CLumarixView::Mode::SelectOrigin;
    case SelectDestination:
        return CLumarixView::Mode::SelectDestination;
    case SelectCenter:
        return CLumarixView::Mode::SelectCenter;
    case Identify:
        return CLumarixView::Mode::Identify;
    default:
        break;
    }
    return CLumarixView::Mode::None;
}

constexpr int ModeCommands[] = {ZoomIn, ZoomOut, SelectOrigin, SelectDestination, SelectCenter, Identify};

} // namespace

CMainFrame::CMainFrame(CQtUserInterface* ui, QWidget* parent) : QMainWindow(parent), Mdi_(new QMdiArea)
{
    setObjectName(QStringLiteral("MainFrame"));
    // The product name; a maximized document window adds its title as " - [title]", the way
    // multi-document windows show the active document.
    setWindowTitle(QString::fromLatin1(ProductName));
    setWindowIcon(ApplicationIcon());
    Mdi_->setObjectName(QStringLiteral("MdiArea"));
    Mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(Mdi_);
    // The views draw with OpenGL. A window shown without any OpenGL widget is made again when
    // the first one arrives, and loses its activation on the way; a hidden one from the start
    // has it made for OpenGL once.
    auto* openGL = new QOpenGLWidget(this);
    openGL->hide();
    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    CreateResultDock();
    ConnectCommands();
    QSettings settings;
    Recent_.Load(settings);
    RebuildRecentFiles();
    connect(Mdi_, &QMdiArea::subWindowActivated, this, &CMainFrame::OnActiveChildChanged);
    if (ui != nullptr)
        connect(ui, &CQtUserInterface::ViewsRefreshRequested, this,
                [this](quintptr document) { RefreshViews(reinterpret_cast<const void*>(document)); });
    OnActiveChildChanged();
}

CMainFrame::~CMainFrame()
{
    // The windows go before the documents they show, closed ones waiting for deletion included,
    // without telling this half-destroyed window about it.
    for (CChildFrame* child : Mdi_->findChildren<CChildFrame*>()) {
        disconnect(child, nullptr, this, nullptr);
        delete child;
    }
    Documents_.clear();
}

QAction* CMainFrame::Action(int id) const
{
    const auto found = Actions_.find(id);
    return found != Actions_.end() ? found->second : nullptr;
}

void CMainFrame::CreateActions()
{
    for (const CommandEntry& entry : CommandTable()) {
        QAction* action = MakeCommandAction(entry, this);
        Actions_[entry.Id] = action;
        // Keys work whichever menu bar is shown and whether the toolbar is visible or not.
        addAction(action);
    }
    Action(CommandId::ToolBar)->setChecked(true);
    Action(StatusBar)->setChecked(true);
}

QMenu* CMainFrame::MakeMenu(const QString& title, const std::vector<int>& ids)
{
    auto* menu = new QMenu(title, this);
    for (const int id : ids) {
        if (id == Separator)
            menu->addSeparator();
        else
            menu->addAction(Action(id));
    }
    return menu;
}

void CMainFrame::CreateMenus()
{
    DocumentFileMenu_ =
        MakeMenu(QStringLiteral("&File"), {ImportGisLayer, ExportMapPicture, Separator, Close, Save, SaveAs, Separator,
                                           Print, PrintPreview, PrinterSetup, Separator});
    RecentFilesEnd_ = DocumentFileMenu_->addSeparator();
    DocumentFileMenu_->addAction(Action(Exit));
    WindowMenu_ = MakeMenu(QStringLiteral("&Window"), {NewWindow, Cascade, TileHorizontally, Arrange});
    DocumentMenus_ = {
        DocumentFileMenu_,
        MakeMenu(QStringLiteral("&Edit"), {Undo, Separator, Cut, Copy, Paste, CopyAsLines}),
        MakeMenu(QStringLiteral("&View"),
                 {CommandId::ToolBar, StatusBar, Separator, SetParameters, Separator, EditMapStyle, Identify}),
        MakeMenu(QStringLiteral("E&xport"),
                 {ExportEmf, ExportPajek, ExportGraphviz, Separator, ChainsToShpfile, NodesToCsv, ToDorling}),
        // The last two open the best-route search, which no other menu offers.
        MakeMenu(QStringLiteral("&Node Selection"), {StartNodeSelection, EndNodeSelection, ServiceCenterSelection,
                                                     Separator, BestRouteSetup, BestRouteInitialization}),
        CartogramsMenu_ = MakeMenu(QStringLiteral("&Cartograms"), {Cartogram}),
        WindowMenu_,
        MakeMenu(QStringLiteral("&Help"), {About}),
    };
    NoDocumentMenus_ = {
        MakeMenu(QStringLiteral("&File"), {New, ImportGisLayer, PrinterSetup, Separator, Exit}),
        MakeMenu(QStringLiteral("&View"), {CommandId::ToolBar, StatusBar}),
        MakeMenu(QStringLiteral("&Help"), {About}),
    };
    // The window list follows the window commands, as the framework's Window menu shows it.
    connect(WindowMenu_, &QMenu::aboutToShow, this, [this] {
        for (QAction* action : WindowMenu_->actions())
            if (action->property("windowListEntry").toBool())
                delete action;
        const QList<QMdiSubWindow*> windows = Mdi_->subWindowList();
        if (!windows.isEmpty())
            WindowMenu_->addSeparator()->setProperty("windowListEntry", true);
        for (qsizetype i = 0; i < windows.size(); ++i) {
            QMdiSubWindow* window = windows[i];
            QAction* entry = WindowMenu_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(window->windowTitle()));
            entry->setProperty("windowListEntry", true);
            entry->setCheckable(true);
            entry->setChecked(window == Mdi_->activeSubWindow());
            connect(entry, &QAction::triggered, this, [this, window] { Mdi_->setActiveSubWindow(window); });
        }
    });
}

void CMainFrame::CreateToolBar()
{
    ToolBar_ = addToolBar(QStringLiteral("Standard"));
    ToolBar_->setObjectName(QStringLiteral("ToolBar"));
    ToolBar_->setAllowedAreas(Qt::AllToolBarAreas);
    ToolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (const int id : ToolBarCommands) {
        if (id == Separator)
            ToolBar_->addSeparator();
        else
            ToolBar_->addAction(Action(id));
    }
    connect(Action(CommandId::ToolBar), &QAction::toggled, ToolBar_, &QToolBar::setVisible);
    connect(ToolBar_, &QToolBar::visibilityChanged, Action(CommandId::ToolBar), &QAction::setChecked);
}

void CMainFrame::CreateStatusBar()
{
    MessagePane_ = new QLabel(QStringLiteral("Ready"));
    MessagePane_->setObjectName(QStringLiteral("MessagePane"));
    statusBar()->addWidget(MessagePane_, 1);
    for (const char* text : {"CAP", "NUM", "SCRL"}) {
        auto* pane = new QLabel(QString::fromLatin1(text));
        pane->setObjectName(QString::fromLatin1(text));
        pane->setFrameShape(QFrame::Panel);
        pane->setFrameShadow(QFrame::Sunken);
        pane->setAlignment(Qt::AlignCenter);
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 12);
        // Qt reports no lock-key state; the panes show their names greyed.
        pane->setEnabled(false);
        statusBar()->addPermanentWidget(pane);
        IndicatorPanes_.push_back(pane);
    }
    connect(Action(StatusBar), &QAction::toggled, statusBar(), &QStatusBar::setVisible);
    // Once a menu's prompt or a run's note is gone, the pane shows the idle text again rather
    // than a cursor position from before.
    connect(statusBar(), &QStatusBar::messageChanged, this, [this](const QString& message) {
        if (message.isEmpty())
            MessagePane_->setText(QStringLiteral("Ready"));
    });
}

void CMainFrame::CreateResultDock()
{
    Results_ = new CResultPanel;
    ResultDock_ = new QDockWidget(QStringLiteral("Cartogram Result"), this);
    ResultDock_->setObjectName(QStringLiteral("ResultDock"));
    ResultDock_->setWidget(Results_);
    addDockWidget(Qt::RightDockWidgetArea, ResultDock_);
    ResultDock_->hide();
    QAction* toggle = ResultDock_->toggleViewAction();
    toggle->setObjectName(QStringLiteral("ShowCartogramResult"));
    toggle->setStatusTip(QStringLiteral("Show the last cartogram's polygons and their errors"));
    CartogramsMenu_->addSeparator();
    CartogramsMenu_->addAction(toggle);
    connect(Results_, &CResultPanel::PolygonSelected, this, &CMainFrame::OnResultPolygonSelected);
}

void CMainFrame::ShowResult()
{
    CAppDocument* document = ActiveDocument();
    if (document == nullptr) {
        Results_->Show({}, nullptr, 0.0, {});
        return;
    }
    const std::optional<CartogramRunSummary>& run = document->LastResult();
    Results_->Show(document->Title(), run ? &*run : nullptr, document->LastRunTarget(),
                   [document](uint32_t record) { return document->RecordAttributes(record); });
}

void CMainFrame::OnResultPolygonSelected(int polygon)
{
    CChildFrame* child = ActiveChild();
    if (child == nullptr)
        return;
    child->View()->HighlightPolygon(polygon);
    if (polygon >= 0)
        child->View()->CenterOnPolygon(polygon);
}

void CMainFrame::OnPolygonIdentified(CAppDocument& document, int polygon, QPoint globalPos)
{
    if (polygon < 0) {
        Results_->SelectPolygon(-1);
        return;
    }
    // With a result, the dock shows the polygon's row, its error and its record's fields.
    if (&document == ActiveDocument() && Results_->SelectPolygon(polygon)) {
        ResultDock_->show();
        return;
    }
    // Before any cartogram the polygon's own record is told beside the cursor.
    QStringList lines{QStringLiteral("Polygon %1").arg(polygon + 1)};
    for (const AttributeValue& value : document.DocumentAttributes(uint32_t(polygon)))
        lines.append(
            QStringLiteral("%1: %2").arg(QString::fromStdString(value.Field), QString::fromStdString(value.Text)));
    QToolTip::showText(globalPos, lines.join(QLatin1Char('\n')));
}

std::vector<QLabel*> CMainFrame::StatusPanes() const
{
    std::vector<QLabel*> panes{MessagePane_};
    panes.insert(panes.end(), IndicatorPanes_.begin(), IndicatorPanes_.end());
    return panes;
}

void CMainFrame::ConnectCommands()
{
    const auto on = [this](int id, auto handler) { connect(Action(id), &QAction::triggered, this, handler); };
    const auto onDocument = [this](int id, auto handler) {
        connect(Action(id), &QAction::triggered, this, [this, handler] {
            if (CAppDocument* document = ActiveDocument(); document != nullptr && !document->Busy())
                handler(*document);
        });
    };
    const auto onView = [this](int id, auto handler) {
        connect(Action(id), &QAction::triggered, this, [this, handler] {
            if (CChildFrame* child = ActiveChild(); child != nullptr && !child->Document().Busy())
                handler(*child->View());
        });
    };

    on(New, [this] { NewDocument(); });
    on(Open, &CMainFrame::OnOpen);
    on(ImportGisLayer, &CMainFrame::OnImportGisLayer);
    on(Close, &CMainFrame::OnClose);
    on(Exit, &QWidget::close);
    on(Print, &CMainFrame::OnPrint);
    on(PrintPreview, &CMainFrame::OnPrintPreview);
    on(PrinterSetup, &CMainFrame::OnPrinterSetup);
    on(About, &CMainFrame::OnAbout);
    on(NewWindow, &CMainFrame::OnNewWindow);
    on(Cascade, [this] { Mdi_->cascadeSubWindows(); });
    on(TileHorizontally, [this] { Mdi_->tileSubWindows(); });
    on(Arrange, &CMainFrame::OnArrange);
    on(NextPane, [this] { Mdi_->activateNextSubWindow(); });
    on(PreviousPane, [this] { Mdi_->activatePreviousSubWindow(); });

    onDocument(Cartogram, [this](CAppDocument& document) { document.Cartogram(this); });
    onDocument(ExportMapPicture, [this](CAppDocument& document) {
        const CLumarixView& view = *ActiveChild()->View();
        document.ExportMapPicture(view.Style(), view.Coloring());
    });
    onDocument(ExportEmf, [](CAppDocument& document) { document.ExportPicture(); });
    onDocument(ExportPajek, [](CAppDocument& document) { document.ExportPajek(); });
    onDocument(ExportGraphviz, [](CAppDocument& document) { document.ExportGraphviz(); });
    onDocument(StartNodeSelection, [this](CAppDocument& document) { document.SelectNode(true, this); });
    onDocument(EndNodeSelection, [this](CAppDocument& document) { document.SelectNode(false, this); });
    onDocument(BestRouteInitialization, [](CAppDocument& document) { document.BestRouteInitialization(); });
    onDocument(BestRouteSetup, [this](CAppDocument& document) { document.BestRouteSetup(this); });

    onView(SetParameters, [](CLumarixView& view) { view.EditDisplayParameters(); });
    onView(EditMapStyle, [](CLumarixView& view) { view.EditMapStyle(); });
    onView(Copy, [](CLumarixView& view) { view.CopyPicture(false); });
    onView(CopyAsLines, [](CLumarixView& view) { view.CopyPicture(true); });
    onView(FullExtent, [](CLumarixView& view) { view.FullExtent(); });
    for (const int id : ModeCommands)
        connect(Action(id), &QAction::triggered, this, [this, id] { OnViewMode(id); });
}

CChildFrame* CMainFrame::AddChild(CAppDocument& document)
{
    auto* child = new CChildFrame(document);
    Mdi_->addSubWindow(child);
    connect(child, &QObject::destroyed, this, [this, doc = &document] { ForgetDocumentIfUnseen(doc); });
    connect(child->View(), &CLumarixView::ModeChanged, this, &CMainFrame::UpdateCommandStates);
    connect(child->View(), &CLumarixView::CursorText, MessagePane_, &QLabel::setText);
    connect(child->View(), &CLumarixView::PolygonIdentified, this,
            [this, doc = &document](int polygon, QPoint at) { OnPolygonIdentified(*doc, polygon, at); });
    connect(child, &QMdiSubWindow::windowStateChanged, this, &CMainFrame::UpdateTitle);
    // The window's size when it is restored, cascaded or tiled.
    child->resize(child->sizeHint());
    NumberWindowTitles();
    child->showMaximized();
    Mdi_->setActiveSubWindow(child);
    return child;
}

void CMainFrame::NumberWindowTitles()
{
    // Windows of one title (several windows of a document, or documents of the same file) are
    // told apart as "title:1", "title:2", ... in the order they were made.
    std::map<QString, std::vector<CChildFrame*>> byTitle;
    for (QMdiSubWindow* window : Mdi_->subWindowList(QMdiArea::CreationOrder))
        if (auto* child = qobject_cast<CChildFrame*>(window))
            byTitle[child->Document().Title()].push_back(child);
    for (const auto& [title, children] : byTitle)
        for (size_t i = 0; i < children.size(); ++i)
            children[i]->setWindowTitle(children.size() == 1 ? title : QStringLiteral("%1:%2").arg(title).arg(i + 1));
    UpdateTitle();
}

void CMainFrame::UpdateTitle()
{
    // A maximized window's title is added by the window itself, as " - [title]".
    const QString product = QString::fromLatin1(ProductName);
    CChildFrame* child = ActiveChild();
    if (child == nullptr || child->isMaximized())
        setWindowTitle(product);
    else
        setWindowTitle(QStringLiteral("%1 - %2").arg(product, child->windowTitle()));
}

CAppDocument* CMainFrame::Adopt(std::unique_ptr<CAppDocument> document)
{
    CAppDocument* adopted = document.get();
    Documents_.push_back(std::move(document));
    connect(adopted, &CAppDocument::BusyChanged, this, &CMainFrame::UpdateCommandStates);
    connect(adopted, &CAppDocument::TitleChanged, this, &CMainFrame::NumberWindowTitles);
    connect(adopted, &CAppDocument::RunEnded, this, [this, adopted](const CartogramRunSummary& summary) {
        if (adopted != ActiveDocument())
            return;
        ShowResult();
        if (summary.Result == CartogramRunSummary::Outcome::Completed)
            ResultDock_->show();
    });
    connect(adopted, &CAppDocument::StatusMessage, this,
            [this](const QString& text) { statusBar()->showMessage(text, 15000); });
    AddChild(*adopted);
    return adopted;
}

void CMainFrame::ForgetDocumentIfUnseen(CAppDocument* document)
{
    NumberWindowTitles();
    for (QMdiSubWindow* window : Mdi_->subWindowList())
        if (auto* child = qobject_cast<CChildFrame*>(window); child != nullptr && &child->Document() == document)
            return;
    // The document's last window has closed: the document goes, a run of it with it.
    std::erase_if(Documents_, [document](const std::unique_ptr<CAppDocument>& held) { return held.get() == document; });
    OnActiveChildChanged();
}

CAppDocument* CMainFrame::NewDocument()
{
    return Adopt(std::make_unique<CAppDocument>(QStringLiteral("%1%2").arg(QLatin1String(ProductName)).arg(++UntitledCount_)));
}

CAppDocument* CMainFrame::OpenDocument(const QString& path)
{
    auto document = std::make_unique<CAppDocument>(QFileInfo(path).fileName());
    if (!document->Doc().OnOpenDocument(path.toStdString()))
        return nullptr;
    Recent_.Add(path);
    SaveRecentFiles();
    return Adopt(std::move(document));
}

CAppDocument* CMainFrame::OpenRecentFile(const QString& path)
{
    for (QMdiSubWindow* window : Mdi_->subWindowList()) {
        auto* child = qobject_cast<CChildFrame*>(window);
        const std::string& opened = child != nullptr ? child->Document().Doc().DocumentPath : std::string();
        if (!opened.empty() && CRecentFileList::SameFile(QString::fromStdString(opened), path)) {
            Mdi_->setActiveSubWindow(window);
            return &child->Document();
        }
    }
    CAppDocument* document = OpenDocument(path);
    if (document == nullptr) {
        // A file that no longer opens leaves the list.
        Recent_.Remove(path);
        SaveRecentFiles();
    }
    return document;
}

void CMainFrame::ProcessCommandLine(const QStringList& arguments)
{
    if (arguments.isEmpty()) {
        NewDocument();
        return;
    }
    for (const QString& path : arguments)
        OpenDocument(path);
}

CChildFrame* CMainFrame::ActiveChild() const
{
    // The current window stays current while the program is not the active application.
    return qobject_cast<CChildFrame*>(Mdi_->currentSubWindow());
}

CAppDocument* CMainFrame::ActiveDocument() const
{
    CChildFrame* child = ActiveChild();
    return child != nullptr ? &child->Document() : nullptr;
}

std::vector<CAppDocument*> CMainFrame::Documents() const
{
    std::vector<CAppDocument*> documents;
    for (const auto& document : Documents_)
        documents.push_back(document.get());
    return documents;
}

void CMainFrame::RefreshViews(const void* address)
{
    for (const auto& document : Documents_)
        if (address == nullptr || address == &document->Doc() || address == &document->Doc().Network())
            document->RefreshViews();
}

void CMainFrame::OnActiveChildChanged()
{
    ShowMenus(!Mdi_->subWindowList().isEmpty());
    UpdateCommandStates();
    UpdateTitle();
    MessagePane_->setText(QStringLiteral("Ready"));
    ShowResult();
}

void CMainFrame::ShowMenus(bool documentMenu)
{
    if (documentMenu == DocumentMenuShown_ && !menuBar()->actions().isEmpty())
        return;
    DocumentMenuShown_ = documentMenu;
    menuBar()->clear();
    for (QMenu* menu : documentMenu ? DocumentMenus_ : NoDocumentMenus_)
        menuBar()->addMenu(menu);
    Action(About)->setText(QString::fromUtf8(documentMenu ? AboutDocumentMenuText : AboutNoDocumentMenuText));
}

void CMainFrame::UpdateCommandStates()
{
    CChildFrame* child = ActiveChild();
    const bool ready = child != nullptr && !child->Document().Busy();
    for (const int id : DocumentCommands)
        Action(id)->setEnabled(ready);
    for (const int id : WindowCommands)
        Action(id)->setEnabled(child != nullptr);
    const CLumarixView::Mode mode = child != nullptr ? child->View()->CurrentMode() : CLumarixView::Mode::None;
    for (const int id : ModeCommands)
        Action(id)->setChecked(mode != CLumarixView::Mode::None && ModeOf(id) == mode);
}


void CMainFrame::RebuildRecentFiles()
{
    for (QAction* action : RecentActions_)
        delete action;
    RecentActions_.clear();
    const QStringList& files = Recent_.Files();
    if (files.isEmpty()) {
        auto* none = new QAction(QStringLiteral("Recent File"), this);
        none->setEnabled(false);
        DocumentFileMenu_->insertAction(RecentFilesEnd_, none);
        RecentActions_.push_back(none);
        return;
    }
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString path = files[i];
        QString shown = QDir::toNativeSeparators(path);
        shown.replace(QLatin1Char('&'), QLatin1String("&&"));
        auto* entry = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown), this);
        entry->setObjectName(QStringLiteral("ID_%1").arg(RecentFile1 + i));
        entry->setStatusTip(QStringLiteral("Open this document"));
        connect(entry, &QAction::triggered, this, [this, path] { OpenRecentFile(path); });
        DocumentFileMenu_->insertAction(RecentFilesEnd_, entry);
        RecentActions_.push_back(entry);
    }
}

void CMainFrame::SaveRecentFiles()
{
    QSettings settings;
    Recent_.Save(settings);
    RebuildRecentFiles();
}

void CMainFrame::OnOpen()
{
    FileChooserOptions options;
    options.DefaultExtension = "shp";
    options.Filter = OpenFilter;
    if (const std::optional<std::string> path = ChooseFileToOpen(options))
        OpenDocument(QString::fromStdString(*path));
}

void CMainFrame::OnImportGisLayer()
{
    FileChooserOptions options;
    options.Title = "Import GIS Layer";
    options.Filter = CImportGisLayerDlg::SourceFilter;
    if (const std::optional<std::string> path = ChooseFileToOpen(options))
        ImportGisDocument(QString::fromStdString(*path));
}

CAppDocument* CMainFrame::ImportGisDocument(const QString& path)
{
    const std::string source = path.toStdString();
    const std::optional<std::vector<OgrLayerSummary>> layers = COgrLayerReader::Describe(source);
    if (!layers || layers->empty()) {
        ShowMessage(layers ? "The source " + source + " holds no layer."
                           : "Cannot open " + source + " as vector data: no GDAL/OGR driver reads it.",
                    MessageKind::Error);
        return nullptr;
    }
    CImportGisLayerDlg dialog(source, *layers, this);
    if (dialog.exec() != QDialog::Accepted)
        return nullptr;
    const std::string layer = layers->size() > 1 ? dialog.LayerName() : std::string();
    QString title = QFileInfo(path).fileName();
    if (!layer.empty())
        title += QStringLiteral(":") + QString::fromStdString(layer);
    auto document = std::make_unique<CAppDocument>(title);
    if (!document->Doc().ImportGisLayer({source, layer, dialog.SizeField(), {}}))
        return nullptr;
    return Adopt(std::move(document));
}

void CMainFrame::OnNewWindow()
{
    if (CAppDocument* document = ActiveDocument())
        AddChild(*document);
}

void CMainFrame::OnArrange()
{
    // Minimized windows in a row along the bottom of the area.
    int x = 0;
    for (QMdiSubWindow* window : Mdi_->subWindowList()) {
        if (!window->isMinimized())
            continue;
        window->move(x, Mdi_->viewport()->height() - window->height());
        x += window->width();
    }
}

QPrinter& CMainFrame::Printer()
{
    if (!Printer_)
        Printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *Printer_;
}

void CMainFrame::OnPrint()
{
    CChildFrame* child = ActiveChild();
    if (child == nullptr)
        return;
    QPrintDialog dialog(&Printer(), this);
    if (dialog.exec() == QDialog::Accepted)
        child->View()->Print(Printer());
}

void CMainFrame::OnPrintPreview()
{
    CChildFrame* child = ActiveChild();
    if (child == nullptr)
        return;
    QPrintPreviewDialog preview(&Printer(), this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, child->View(),
            [view = child->View()](QPrinter* printer) { view->Print(*printer); });
    preview.exec();
}

void CMainFrame::OnPrinterSetup()
{
    QPageSetupDialog dialog(&Printer(), this);
    dialog.exec();
}

void CMainFrame::OnAbout()
{
    CAboutDlg about(this);
    about.exec();
}

void CMainFrame::OnClose()
{
    // Close closes the document: every window of it, and with the last the document itself.
    CAppDocument* document = ActiveDocument();
    if (document == nullptr)
        return;
    for (QMdiSubWindow* window : Mdi_->subWindowList())
        if (auto* child = qobject_cast<CChildFrame*>(window); child != nullptr && &child->Document() == document)
            window->close();
}

bool CMainFrame::ConfirmQuitDuringRuns()
{
    QStringList running;
    for (const std::unique_ptr<CAppDocument>& document : Documents_)
        if (document->Busy())
            running.append(document->Title());
    if (running.isEmpty())
        return true;
    return AskYesNo("A cartogram is still running for " + running.join(QStringLiteral(", ")).toStdString() +
                    ". Quit and cancel it? The rounds already written stay complete, and the run's information "
                    "file says it was cancelled.");
}

void CMainFrame::OnViewMode(int id)
{
    if (CChildFrame* child = ActiveChild(); child != nullptr && !child->Document().Busy())
        child->View()->ToggleMode(ModeOf(id));
    UpdateCommandStates();
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (!ConfirmQuitDuringRuns()) {
        event->ignore();
        return;
    }
    // Closing the windows closes every document; a run still going is cancelled and its files
    // stay complete.
    Mdi_->closeAllSubWindows();
    QSettings settings;
    Recent_.Save(settings);
    event->accept();
}

} // namespace tessaro
