#pragma once

#include <QAction>
#include <QString>

#include <vector>

namespace tessaro {

// The ids of the commands a user can reach. Each command's QAction carries "ID_<id>" as its
// object name, so tests and scripts find it by id.
namespace CommandId {
inline constexpr int New = 57600;
inline constexpr int Open = 57601;
inline constexpr int Close = 57602;
inline constexpr int Save = 57603;
inline constexpr int SaveAs = 57604;
inline constexpr int PrinterSetup = 57606;
inline constexpr int Print = 57607;
inline constexpr int PrintPreview = 57609;
inline constexpr int RecentFile1 = 57616; // to 57623
inline constexpr int Copy = 57634;
inline constexpr int Cut = 57635;
inline constexpr int Paste = 57637;
inline constexpr int Undo = 57643;
inline constexpr int NewWindow = 57648;
inline constexpr int Arrange = 57649;
inline constexpr int Cascade = 57650;
inline constexpr int TileHorizontally = 57651;
inline constexpr int About = 57664;
inline constexpr int Exit = 57665;
inline constexpr int NextPane = 57680;
inline constexpr int PreviousPane = 57681;
inline constexpr int ToolBar = 59392;
inline constexpr int StatusBar = 59393;
inline constexpr int ZoomIn = 32771;
inline constexpr int ZoomOut = 32772;
inline constexpr int FullExtent = 32773;
inline constexpr int SelectOrigin = 32774;
inline constexpr int SelectDestination = 32775;
inline constexpr int BestRouteInitialization = 32776;
inline constexpr int BestRouteSetup = 32778;
inline constexpr int SelectCenter = 32783;
inline constexpr int SetParameters = 32788;
inline constexpr int StartNodeSelection = 32792;
inline constexpr int EndNodeSelection = 32793;
inline constexpr int Cartogram = 32825;
inline constexpr int ExportEmf = 32872;
inline constexpr int CopyAsLines = 32873;
inline constexpr int ExportPajek = 32874;
inline constexpr int ExportGraphviz = 32876;
// Commands of our own beyond the classic set.
inline constexpr int ImportGisLayer = 32900;
inline constexpr int EditMapStyle = 32901;
inline constexpr int Identify = 32902;
inline constexpr int ExportMapPicture = 32903;
// Menu items that have no handler; they have no id of their own and are shown disabled.
inline constexpr int ChainsToShpfile = -1;
inline constexpr int NodesToCsv = -2;
inline constexpr int ToDorling = -3;
inline constexpr int ServiceCenterSelection = -4;
} // namespace CommandId

// One command as menus, toolbar and keys present it.
struct CommandEntry {
    int Id;
    const char* Name;   // object name
    const char* Text;   // menu text, "&" accelerators and "\t" key text as the menu shows them
    const char* Prompt; // status-bar prompt
    const char* Tip;    // tooltip; empty when the command is on no toolbar
    std::vector<const char*> Keys;
    const char* Icon;   // icon name, or null
    bool Handled;       // false: shown disabled, does nothing
    bool Checkable;
};

// Every command of the menus, the toolbar and the keys.
const std::vector<CommandEntry>& CommandTable();
const CommandEntry& FindCommand(int id);
QString CommandObjectName(int id);

// The QAction of a command, parented to `parent`, disabled when the command has no handler.
QAction* MakeCommandAction(const CommandEntry& entry, QObject* parent);

// The menu texts of the About command in the document menu and in the no-document menu.
inline constexpr const char* AboutDocumentMenuText = "About (&A)...";
inline constexpr const char* AboutNoDocumentMenuText = "About Lumarix(&A)...";

} // namespace tessaro
