#include "graphio/LitFileTranslator.h"

#include "graphio/NamedNetwork.h"
#include "graphio/TextLines.h"
#include "network/Network.h"
#include "platform/FileError.h"
#include "platform/InputFiles.h"
#include "platform/UserInterface.h"

#include <cerrno>
#include <new>

namespace tessaro {
namespace {

constexpr size_t TagLength = 4;
// Shorter lines carry no value; they are skipped without ending a run of author lines.
constexpr size_t ShortestTaggedLine = 6;
// Summary lines are handed to the writer in blocks of about this size.
constexpr size_t SummaryBlock = size_t{64} << 10;

constexpr std::string_view AuthorTag = "AU: ";
constexpr std::string_view YearTag = "PY: ";
constexpr std::string_view BookTitleTag = "BT: ";
constexpr std::string_view JournalTag = "JR: ";

constexpr const char* SummaryRefusedText = "Can't create or open this file for write!";

} // namespace

CLitFileTranslator::CLitFileTranslator(CNetwork* network) : Network_(network) {}

CLitFileTranslator::~CLitFileTranslator() = default;

std::string CLitFileTranslator::NormaliseAuthorName(std::string_view name)
{
    const size_t stop = name.find('.');
    return std::string(stop == std::string_view::npos ? name : name.substr(0, stop + 1));
}

std::string CLitFileTranslator::SummaryPathFor(const std::string& path)
{
    return ReplaceFileNameTail(path, 4, "_paper_sum.csv");
}

int CLitFileTranslator::ReadBibliography(const std::string& path)
{
    Damaged_.Clear();
    if (Network_ == nullptr) {
        ShowMessage("A invalid pointer!", MessageKind::Error);
        return ReadFailed;
    }
    try {
        CTextLines lines;
        if (!lines.Load(path)) {
            ShowMessage(CFileError(path, lines.FailedAction(), lines.LastError()).what(), MessageKind::Error);
            return ReadFailed;
        }
        ClearPaper();
        OpenSummary(path);
        ReadTaggedLines(lines);
        FlushPaper();
        CloseSummary();

        TopologyMilliseconds_ = BuildNamedTopology(*Network_, "The number of authors is: ");
        Network_->PlaceNodesOnCircle(NamedNetworkRadius);
        Network_->MakeStraightChains();
        return ReadSucceeded;
    } catch (const std::bad_alloc&) {
        Summary_.Abandon();
        SummaryOpen_ = false;
        SummaryBuffer_.clear();
        SummaryBuffer_.shrink_to_fit();
        ClearPaper();
        ShowMessage(CFileError(path, "read", ENOMEM).what(), MessageKind::Error);
        return ReadFailed;
    }
}

void CLitFileTranslator::ReadTaggedLines(CTextLines& lines)
{
    bool inAuthorRun = false;
    std::string_view line;
    while (lines.Next(line)) {
        if (const std::string_view damage = TextDamage(line); !damage.empty()) {
            Damaged_.Add(lines.LineNumber(), damage);
            continue;
        }
        if (line.size() < ShortestTaggedLine)
            continue;
        const std::string_view tag = line.substr(0, TagLength);
        const std::string_view value = TrimBlanks(line.substr(TagLength));
        if (tag == AuthorTag) {
            // The first author of a run starts a new paper, so the previous one is complete.
            if (!inAuthorRun)
                FlushPaper();
            inAuthorRun = true;
            // A tag without a name adds no nameless author.
            if (!value.empty())
                Authors_.push_back(UpperCaseAscii(value));
            continue;
        }
        inAuthorRun = false;
        if (tag == YearTag)
            Year_ = value;
        else if (tag == BookTitleTag)
            BookTitle_ = value;
        else if (tag == JournalTag)
            Journal_ = value;
    }
}

int CLitFileTranslator::FlushPaper()
{
    const size_t count = Authors_.size();
    if (count == 0)
        return 0;
    WriteSummary(std::to_string(PaperCounter_) + "," + std::to_string(count) + "\n");
    ++PaperCounter_;

    std::vector<std::string> names;
    names.reserve(count);
    for (const std::string& author : Authors_)
        names.push_back(NormaliseAuthorName(author));
    auto addChain = [this](const std::string& from, const std::string& to) {
        if (CNetworkChain* chain = AddNamedChain(*Network_, from, to, 1.0))
            chain->Attribute().SetLabels(Year_, BookTitle_, Journal_);
    };
    if (count == 1) {
        addChain(names[0], names[0]);
    } else {
        for (size_t i = 0; i + 1 < count; ++i)
            for (size_t j = i + 1; j < count; ++j)
                addChain(names[i], names[j]);
    }
    ClearPaper();
    return count >= 2 ? 1 : 0;
}

void CLitFileTranslator::ClearPaper()
{
    Authors_.clear();
    Year_.clear();
    BookTitle_.clear();
    Journal_.clear();
}

void CLitFileTranslator::OpenSummary(const std::string& bibliographyPath)
{
    SummaryPath_ = SummaryPathFor(bibliographyPath);
    SummaryBuffer_.clear();
    // Replacing the summary must never replace the bibliography, even through a link.
    SummaryOpen_ = !CInputFiles::SameFile(SummaryPath_, bibliographyPath) && Summary_.Open(SummaryPath_);
    if (!SummaryOpen_) {
        ShowMessage(SummaryRefusedText, MessageKind::Warning);
        return;
    }
    WriteSummary("PaperID,Number of Authors\n");
}

void CLitFileTranslator::WriteSummary(const std::string& text)
{
    if (!SummaryOpen_)
        return;
    SummaryBuffer_ += text;
    if (SummaryBuffer_.size() >= SummaryBlock) {
        Summary_.Write(SummaryBuffer_);
        SummaryBuffer_.clear();
    }
}

void CLitFileTranslator::CloseSummary()
{
    if (!SummaryOpen_)
        return;
    SummaryOpen_ = false;
    Summary_.Write(SummaryBuffer_);
    SummaryBuffer_.clear();
    // The writer remembers the first failed write, so one check covers the whole file.
    if (!Summary_.Commit())
        ShowMessage(CFileError(SummaryPath_, "write", Summary_.LastError()).what(), MessageKind::Warning);
}

} // namespace tessaro
