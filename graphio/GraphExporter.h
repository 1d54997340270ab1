#pragma once

#include <string>

namespace tessaro {

class CNetwork;

// Writes a network as a graph file for outside tools: a Pajek network (".net") or a Graphviz
// undirected graph (".gv", ".dot"). Both number the nodes 1 to n in node-list order first and
// leave those IDs on the nodes after a successful write; the edges are the chains, each
// written once from its end with the larger number (a loop once). Numbers are written with
// '.' whatever the locale, and a file is written whole or not at all. Names are written so that
// each stays one label: Graphviz labels escape '"' and '\\'; Pajek labels, which have no escape,
// carry a double quote as a single quote and a control character as a blank.
class CGraphExporter {
public:
    // Exports `network`, which must outlive the exporter.
    explicit CGraphExporter(CNetwork& network);

    // 1 on success. -1 when the file cannot be written, after showing "Can't create or open
    // this file for write!"; then the target and the node IDs are left as they were.
    int WritePajek(const std::string& path);
    int WriteGraphviz(const std::string& path);

private:
    using Formatter = std::string (CGraphExporter::*)() const;

    int Export(const std::string& path, Formatter format);
    std::string PajekText() const;
    std::string GraphvizText() const;
    // The edge lines: `line(from, to, weight)` for every chain seen from its larger-ID end.
    template <typename LineMaker>
    void AppendEdges(std::string& text, LineMaker line) const;

    CNetwork& Network_;
};

} // namespace tessaro
