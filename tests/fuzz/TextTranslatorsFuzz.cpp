// libFuzzer targets for the text translators, one per TESSARO_FUZZ_READER value: arbitrary
// bytes as a bibliography (1), as an author table and its citation table (2; the input is cut
// at its first 0x01 byte, the author table before it), or as a flight table (3). Each read
// goes into a fresh network in the key mode the document gives that kind of file, and the
// network is then checked for the invariants the views and exporters rely on.
#include "graphio/CitationFileTranslator.h"
#include "graphio/FlightsFileTranslator.h"
#include "graphio/LitFileTranslator.h"
#include "network/Network.h"
#include "tests/fuzz/FuzzInput.h"

#include <algorithm>
#include <cstdint>
#include <string>

using namespace tessaro;

namespace {

// What every finished network must hold, however bad its file: a node count that matches
// the node list, and chains whose ends are both set.
void CheckNetwork(const CNetwork& network)
{
    if (network.NodeCount() != network.Nodes().size() || network.ChainCount() != network.Chains().size())
        __builtin_trap();
    for (const auto& chain : network.Chains())
        if (chain->From() == nullptr || chain->To() == nullptr)
            __builtin_trap();
}

void ReadBibliography(const uint8_t* data, size_t size, CNetwork& network)
{
    const std::string& path = fuzz::InputPath(".txt");
    fuzz::WriteInput(path, data, size);
    network.SetKeyMode(KeyByName);
    CLitFileTranslator(&network).ReadBibliography(path);
}

void ReadCitations(const uint8_t* data, size_t size, CNetwork& network)
{
    const std::string& authors = fuzz::InputPath("Author.csv");
    const uint8_t* cut = std::find(data, data + size, uint8_t{1});
    fuzz::WriteInput(authors, data, static_cast<size_t>(cut - data));
    const size_t rest = cut == data + size ? 0 : static_cast<size_t>(data + size - cut - 1);
    fuzz::WriteInput(CCitationFileTranslator::CitationTablePathFor(authors), rest > 0 ? cut + 1 : data, rest);
    network.SetKeyMode(KeyByNameMergeParallel);
    CCitationFileTranslator(&network).ReadCitations(authors, 1);
}

void ReadFlights(const uint8_t* data, size_t size, CNetwork& network)
{
    const std::string& path = fuzz::InputPath(".flt");
    fuzz::WriteInput(path, data, size);
    network.SetKeyMode(KeyByNameOrderByX);
    CFlightsFileTranslator(&network).ReadFlights(path);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CNetwork network;
    switch (TESSARO_FUZZ_READER) {
    case 1:
        ReadBibliography(data, size, network);
        break;
    case 2:
        ReadCitations(data, size, network);
        break;
    default:
        ReadFlights(data, size, network);
        break;
    }
    CheckNetwork(network);
    return 0;
}
