#include "graphio/TextTranslator.h"

#include "graphio/DamagedLines.h"
#include "graphio/NamedNetwork.h"
#include "graphio/TextLines.h"
#include "network/Network.h"
#include "platform/FileError.h"
#include "platform/UserInterface.h"

#include <cerrno>
#include <new>

namespace tessaro {

CTextTranslator::CTextTranslator(CNetwork* network) : Network_(network) {}

CTextTranslator::~CTextTranslator() = default;

bool CTextTranslator::ReadGuarded(const std::string& path, const std::function<bool()>& read)
{
    if (Network_ == nullptr) {
        ShowMessage("A invalid pointer!", MessageKind::Error);
        return false;
    }
    try {
        return read();
    } catch (const std::bad_alloc&) {
        DropPartialRead();
        ShowMessage(CFileError(path, "read", ENOMEM).what(), MessageKind::Error);
        return false;
    }
}

bool CTextTranslator::LoadLines(const std::string& path, CTextLines& lines)
{
    if (lines.Load(path))
        return true;
    ShowMessage(CFileError(path, lines.FailedAction(), lines.LastError()).what(), MessageKind::Error);
    return false;
}

void CTextTranslator::ReadLines(CTextLines& lines, HeaderLine header, CDamagedLines& damaged, const LineRule& rule)
{
    std::string_view line;
    if (header == HeaderLine::Skip && !lines.Next(line))
        return;
    while (lines.Next(line)) {
        std::string_view damage = TextDamage(line);
        if (damage.empty())
            damage = rule(line);
        if (!damage.empty())
            damaged.Add(lines.LineNumber(), damage);
    }
}

bool CTextTranslator::FinishNamedNetwork(const std::string& countPrefix, ParallelChains parallel)
{
    TopologyMilliseconds_ = BuildNamedTopology(*Network_, countPrefix);
    const bool merged = parallel == ParallelChains::Kept || Network_->MergeParallelChains();
    Network_->PlaceNodesOnCircle(NamedNetworkRadius);
    Network_->MakeStraightChains();
    return merged;
}

} // namespace tessaro
