#include "cli/GraphCommand.h"

#include "app/LumarixDoc.h"

#include <ostream>

namespace tessaro {

int RunGraphCommand(const GraphOptions& options, std::ostream& out)
{
    CLumarixDoc document;
    if (!document.OnOpenDocument(options.Input))
        return 2;
    // A graph of part of a file must not pass for the file's graph; the reader has already said
    // what it left out.
    if (!document.LastReadWasWhole())
        return 1;
    const CNetwork& network = document.Network();
    out << "Nodes: " << network.NodeCount() << "\nChains: " << network.ChainCount() << '\n';
    bool written = true;
    if (!options.PajekPath.empty()) {
        const bool ok = document.ExportPajek(options.PajekPath) == 1;
        if (ok)
            out << "Pajek file: " << options.PajekPath << '\n';
        written = written && ok;
    }
    if (!options.GraphvizPath.empty()) {
        const bool ok = document.ExportGraphviz(options.GraphvizPath) == 1;
        if (ok)
            out << "Graphviz file: " << options.GraphvizPath << '\n';
        written = written && ok;
    }
    return written ? 0 : 1;
}

} // namespace tessaro
