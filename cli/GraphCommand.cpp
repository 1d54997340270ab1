#include "cli/GraphCommand.h"

#include "document/LumarixDoc.h"
#include "platform/UserInterface.h"

#include <ostream>

namespace tessaro {

int RunGraphCommand(const GraphOptions& options, std::ostream& out)
{
    CLumarixDoc document;
    if (!document.OnOpenDocument(options.Input))
        return 2;
    // A graph of part of a file must not pass for the file's graph; the reader has already said
    // what it left out.
    if (!document.LastReadWasWhole()) {
        ShowMessage("No graph is written: " + options.Input + " was not read whole.", MessageKind::Error);
        return 1;
    }
    const CNetwork& network = document.Network();
    out << "Nodes: " << network.NodeCount() << "\nChains: " << network.ChainCount() << '\n';
    bool written = true;
    const auto write = [&](const std::string& path, int (CLumarixDoc::*exporter)(const std::string&), const char* kind) {
        if (path.empty())
            return;
        const bool ok = (document.*exporter)(path) == 1;
        if (ok)
            out << kind << " file: " << path << '\n';
        written = written && ok;
    };
    write(options.PajekPath, &CLumarixDoc::ExportPajek, "Pajek");
    write(options.GraphvizPath, &CLumarixDoc::ExportGraphviz, "Graphviz");
    return written ? 0 : 1;
}

} // namespace tessaro
