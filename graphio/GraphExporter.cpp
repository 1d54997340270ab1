#include "graphio/GraphExporter.h"

#include "network/Network.h"
#include "platform/AtomicFileWriter.h"
#include "platform/FileError.h"
#include "platform/NumberText.h"
#include "platform/UserInterface.h"

#include <cstddef>
#include <utility>
#include <vector>

namespace tessaro {

namespace {

constexpr const char* CannotWriteText = "Can't create or open this file for write!";

// Right-aligned in `width` characters and never cut, as printf's "%<width>s" does.
std::string RightAligned(const std::string& text, std::size_t width)
{
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

// printf's "%f" in the C locale: six decimals after a '.'.
std::string Fixed(double value)
{
    return FormatFixed(value, 6);
}

// A name inside a Graphviz quoted string: a double quote and a backslash are escaped, so no
// name can end its label early (and add attributes of its own) or start one of the label's
// escape sequences (\N, \n, ...).
std::string DotQuoted(const std::string& name)
{
    std::string text;
    text.reserve(name.size() + 2);
    for (const char c : name) {
        if (c == '"' || c == '\\')
            text.push_back('\\');
        text.push_back(c);
    }
    return text;
}

// A name inside a Pajek quoted label, which knows no escape: a double quote becomes a single
// quote and a control character a blank, so the label stays one quoted word of its line.
std::string PajekQuoted(const std::string& name)
{
    std::string text = name;
    for (char& c : text) {
        if (c == '"')
            c = '\'';
        else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    }
    return text;
}

// The nodes with their IDs before renumbering, to put back when the write fails.
std::vector<std::pair<CNetworkNode*, uint32_t>> Renumber(CNetwork& network)
{
    std::vector<std::pair<CNetworkNode*, uint32_t>> previous;
    previous.reserve(network.NodeCount());
    uint32_t k = 0;
    for (const auto& entry : network.Nodes()) {
        if (!entry) {
            continue;
        }
        previous.emplace_back(entry, entry->ID());
        entry->SetID(++k);
    }
    return previous;
}

void RestoreIDs(const std::vector<std::pair<CNetworkNode*, uint32_t>>& previous)
{
    for (const auto& [node, id] : previous) {
        node->SetID(id);
    }
}

} // namespace

CGraphExporter::CGraphExporter(CNetwork& network)
    : Network_(network)
{
}

int CGraphExporter::WritePajek(const std::string& path)
{
    return Export(path, &CGraphExporter::PajekText);
}

int CGraphExporter::WriteGraphviz(const std::string& path)
{
    return Export(path, &CGraphExporter::GraphvizText);
}

int CGraphExporter::Export(const std::string& path, Formatter format)
{
    CAtomicFileWriter writer;
    if (!writer.Open(path)) {
        ShowMessage(std::string(CannotWriteText) + "\n" + FileReasonLine(path, writer.LastError()), MessageKind::Error);
        return -1;
    }
    const auto previous = Renumber(Network_);
    bool written = false;
    try {
        written = writer.Write((this->*format)()) && writer.Commit();
    } catch (...) {
        RestoreIDs(previous); // out of memory while formatting: the caller reports it
        throw;
    }
    if (!written) {
        // The old file (or none) stays, and so do the old IDs: nothing was exported.
        RestoreIDs(previous);
        ShowMessage(std::string(CannotWriteText) + "\n" + FileReasonLine(path, writer.LastError()), MessageKind::Error);
        return -1;
    }
    return 1;
}

template <typename LineMaker>
void CGraphExporter::AppendEdges(std::string& text, LineMaker line) const
{
    for (const auto& entry : Network_.Nodes()) {
        if (!entry) {
            continue;
        }
        const CNetworkNode& node = *entry;
        for (uint32_t i = 0; i < node.ChainCount(); ++i) {
            const CNetworkChain* chain = node.GetChain(static_cast<int32_t>(i));
            const CNetworkNode* other = chain != nullptr ? chain->OtherEnd(&node) : nullptr;
            // From the larger-ID end only, so a chain between two nodes appears once.
            if (other != nullptr && node.ID() >= other->ID()) {
                text += line(node.ID(), other->ID(), chain->Attribute().GetWeightedLength());
            }
        }
    }
}

std::string CGraphExporter::PajekText() const
{
    std::string text = "*Vertices " + std::to_string(Network_.NodeCount()) + "\n";
    for (const auto& entry : Network_.Nodes()) {
        if (!entry) {
            continue;
        }
        const CNetworkNode& node = *entry;
        // Number, quoted name in 50 characters, then X, Y and a zero Z in 16 characters each.
        text += " " + std::to_string(node.ID()) + " " + RightAligned("\"" + PajekQuoted(node.Name()) + "\"", 50) + " " +
                RightAligned(Fixed(node.X()), 16) + " " + RightAligned(Fixed(node.Y()), 16) + " " +
                RightAligned(Fixed(0.0), 16) + "\n";
    }
    text += "*Edges\n";
    AppendEdges(text, [](uint32_t from, uint32_t to, double weight) {
        return " " + std::to_string(from) + " " + std::to_string(to) + " " + Fixed(weight) + "\n";
    });
    return text;
}

std::string CGraphExporter::GraphvizText() const
{
    std::string text = "graph COAUTHOR {\n graph [mode=\"maxent\"]\n";
    for (const auto& entry : Network_.Nodes()) {
        if (entry) {
            text +=
                "  " + std::to_string(entry->ID()) + " [label=\"" + DotQuoted(entry->Name()) + "\", shape=circle];\n";
        }
    }
    text += "\n";
    AppendEdges(text, [](uint32_t from, uint32_t to, double weight) {
        return "  " + std::to_string(from) + " -- " + std::to_string(to) + " [len=" + Fixed(weight) + "]\n";
    });
    text += "}\n";
    return text;
}

} // namespace tessaro
