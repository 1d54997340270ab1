#include "app/CommandTable.h"

#include "app/Icons.h"

#include <QKeySequence>
#include <QList>

namespace tessaro {
namespace {

using namespace CommandId;

// The framework's own prompts for its standard commands, the program's for its own.
// One command a line, as far as the line allows.
// clang-format off
std::vector<CommandEntry> MakeTable()
{
    return {
        {New, nullptr, "New(&N)\tCtrl+N", "Create a new document", "New", {"Ctrl+N"}, "new", true, false},
        {Open, nullptr, "Open", "Open an existing document", "Open", {"Ctrl+O"}, "open", true, false},
        {ImportGisLayer, "ID_IMPORT_GIS_LAYER", "Import GIS Layer(&I)...",
         "Read the polygons of a GeoPackage, GeoJSON, FlatGeobuf or other GIS layer into a new document", "", {},
         nullptr, true, false},
        {ExportMapPicture, "ID_EXPORT_MAP_PICTURE", "Export Map Picture(&M)...",
         "Save the map as it is drawn, with its legend, as a PNG, SVG or PDF picture", "", {}, nullptr, true, false},
        {Close, nullptr, "Close(&C)", "Close the active document", "", {}, nullptr, true, false},
        {Save, nullptr, "Save(&S)\tCtrl+S", "Save the active document", "Save", {"Ctrl+S"}, "save", false, false},
        {SaveAs, nullptr, "Save As(&A)...", "Save the active document with a new name", "", {}, nullptr, false, false},
        {ExportEmf, nullptr, "To EMF File (&E)", "Export the network as an enhanced metafile picture", "", {}, nullptr,
         true, false},
        {ExportPajek, nullptr, "To Pajek Net File (&P)", "Export the network as a Pajek network file", "", {}, nullptr,
         true, false},
        {ExportGraphviz, nullptr, "To Graphviz File (&V)", "Export the network as a Graphviz file", "", {}, nullptr,
         true, false},
        {ChainsToShpfile, "ID_CHAINS_TO_SHPFILE", "Chains to Shpfile (&C)", "", "", {}, nullptr, false, false},
        {NodesToCsv, "ID_NODES_TO_CSV", "Nodes to CSV File (&N)", "", "", {}, nullptr, false, false},
        {ToDorling, "ID_TO_DORLING", "To Dorling Cartogram File (&D)", "", "", {}, nullptr, false, false},
        {Print, nullptr, "Print (&P)...\tCtrl+P", "Print the active document", "Print", {"Ctrl+P"}, "print", true,
         false},
        {PrintPreview, nullptr, "Print Preview(&V)", "Display full pages", "", {}, nullptr, true, false},
        {PrinterSetup, nullptr, "Printer Setup(&R)...", "Change the printer and printing options", "", {}, nullptr, true,
         false},
        {Exit, nullptr, "Exit(&X)", "Quit the application", "", {}, nullptr, true, false},
        {Undo, nullptr, "Undo(&U)\tCtrl+Z", "Undo the last action", "", {"Ctrl+Z", "Alt+Backspace"}, nullptr, false,
         false},
        {Cut, nullptr, "Cut(&T)\tCtrl+X", "Cut the selection and put it on the Clipboard", "Cut",
         {"Ctrl+X", "Shift+Del"}, "cut", false, false},
        {Copy, nullptr, "Copy(&C)\tCtrl+C", "Copy the picture and put it on the Clipboard", "Copy",
         {"Ctrl+C", "Ctrl+Ins"}, "copy", true, false},
        {Paste, nullptr, "Paste(&P)\tCtrl+V", "Insert Clipboard contents", "Paste", {"Ctrl+V", "Shift+Ins"}, "paste",
         false, false},
        {CopyAsLines, nullptr, "Copy as Lines (&L)", "Copy the picture as outlines and put it on the Clipboard", "", {},
         nullptr, true, false},
        {StartNodeSelection, nullptr, "Start Node Selection (&S)", "Find the origin node by name", "", {}, nullptr, true,
         false},
        {EndNodeSelection, nullptr, "End Node Selection (&E)", "Find the destination node by name", "", {}, nullptr,
         true, false},
        {ServiceCenterSelection, "ID_SERVICE_CENTER_SELECTION", "Service Center Selection (&C)", "", "", {}, nullptr,
         false, false},
        {BestRouteSetup, nullptr, "Best Route Setup...", "Choose the chain costs and search the best route", "", {},
         nullptr, true, false},
        {BestRouteInitialization, nullptr, "Best Route Initialization", "Count the nodes of the network", "", {},
         nullptr, true, false},
        {SetParameters, nullptr, "Set Parameters(&P)", "Setup Display Parameters", "", {}, nullptr, true, false},
        {EditMapStyle, "ID_MAP_STYLE", "Map Style(&M)...",
         "Fill the polygons by their value or relative error and choose the colours of the map", "", {}, nullptr, true,
         false},
        {Identify, "ID_IDENTIFY", "Identify(&I)", "Click a polygon to name it", "", {}, nullptr, true, true},
        {ToolBar, nullptr, "Tool Bar(&T)", "Show or hide the toolbar", "", {}, nullptr, true, true},
        {StatusBar, nullptr, "Status Bar(&S)", "Show or hide the status bar", "", {}, nullptr, true, true},
        {Cartogram, nullptr, "Cartogram with Tessaro(&F)", "Make an area cartogram of a polygon shapefile", "", {},
         nullptr, true, false},
        {NewWindow, nullptr, "New Window(&N)", "Open another window for the active document", "", {}, nullptr, true,
         false},
        {Cascade, nullptr, "Cascade(&C)", "Arrange windows so they overlap", "", {}, nullptr, true, false},
        {TileHorizontally, nullptr, "Tile Horizontally(&T)", "Arrange windows as non-overlapping tiles", "", {},
         nullptr, true, false},
        {Arrange, nullptr, "Arrange(&A)", "Arrange icons at the bottom of the window", "", {}, nullptr, true, false},
        {About, nullptr, AboutDocumentMenuText, "Display program information, version number and copyright", "About",
         {}, "about", true, false},
        {ZoomIn, nullptr, "Zoom In", "Zoom In", "Zoom In", {}, "zoom-in", true, true},
        {ZoomOut, nullptr, "Zoom Out", "Zoom Out", "Zoom Out", {}, "zoom-out", true, true},
        {FullExtent, nullptr, "Full Extent", "Show Full Extent", "Full Extent", {}, "full-extent", true, false},
        {SelectOrigin, nullptr, "Select Origin", "Select Origin Node", "Select Origin", {}, "select-origin", true, true},
        {SelectDestination, nullptr, "Select Destination", "Select Destination Node", "Select Destination", {},
         "select-destination", true, true},
        {SelectCenter, nullptr, "Select Center", "Select Service Center", "Select Center", {}, "select-center", true,
         true},
        {NextPane, nullptr, "Next Pane", "Switch to the next window pane", "", {"F6"}, nullptr, true, false},
        {PreviousPane, nullptr, "Previous Pane", "Switch back to the previous window pane", "", {"Shift+F6"}, nullptr,
         true, false},
    };
}
// clang-format on

} // namespace

const std::vector<CommandEntry>& CommandTable()
{
    static const std::vector<CommandEntry> table = MakeTable();
    return table;
}

const CommandEntry& FindCommand(int id)
{
    for (const CommandEntry& entry : CommandTable())
        if (entry.Id == id)
            return entry;
    static const CommandEntry none{0, "", "", "", "", {}, nullptr, false, false};
    return none;
}

QString CommandObjectName(int id)
{
    const CommandEntry& entry = FindCommand(id);
    if (entry.Name != nullptr)
        return QString::fromUtf8(entry.Name);
    return QStringLiteral("ID_%1").arg(id);
}

QAction* MakeCommandAction(const CommandEntry& entry, QObject* parent)
{
    auto* action = new QAction(QString::fromUtf8(entry.Text), parent);
    action->setObjectName(entry.Name != nullptr ? QString::fromUtf8(entry.Name) : QStringLiteral("ID_%1").arg(entry.Id));
    action->setStatusTip(QString::fromUtf8(entry.Prompt));
    if (*entry.Tip != '\0')
        action->setToolTip(QString::fromUtf8(entry.Tip));
    QList<QKeySequence> keys;
    for (const char* key : entry.Keys)
        keys.append(QKeySequence(QString::fromLatin1(key)));
    action->setShortcuts(keys);
    if (entry.Icon != nullptr)
        action->setIcon(CommandIcon(entry.Icon));
    action->setCheckable(entry.Checkable);
    action->setEnabled(entry.Handled);
    // Menus show the key text the menu text carries after its tab; the shortcut itself must not
    // be shown a second time.
    action->setShortcutVisibleInContextMenu(false);
    return action;
}

} // namespace tessaro
