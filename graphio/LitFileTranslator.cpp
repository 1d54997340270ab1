#include "graphio/LitFileTranslator.h"

#include "graphio/NamedNetwork.h"
#include "graphio/TextLines.h"
#include "network/Network.h"
#include "platform/FileError.h"
#include "platform/InputFiles.h"
#include "platform/TextCase.h"
#include "platform/UserInterface.h"

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
    const bool read = ReadGuarded(path, [&] {
        CTextLines lines;
        if (!LoadLines(path, lines))
            return false;
        ClearPaper();
        OpenSummary(path);
        bool inAuthorRun = false;
        // A damaged line never reaches the rule, so it does not end a run of authors.
        ReadLines(lines, HeaderLine::None, Damaged_, [&](std::string_view line) {
            ReadTaggedLine(line, inAuthorRun);
            return std::string_view();
        });
        FlushPaper();
        CloseSummary();

        FinishNamedNetwork("The number of authors is: ", ParallelChains::Kept);
        return true;
    });
    return read ? ReadSucceeded : ReadFailed;
}

void CLitFileTranslator::DropPartialRead()
{
    Summary_.Abandon();
    SummaryOpen_ = false;
    SummaryBuffer_.clear();
    SummaryBuffer_.shrink_to_fit();
    ClearPaper();
}

void CLitFileTranslator::ReadTaggedLine(std::string_view line, bool& inAuthorRun)
{
    if (line.size() < ShortestTaggedLine)
        return;
    const std::string_view tag = line.substr(0, TagLength);
    const std::string_view value = TrimBlanks(line.substr(TagLength));
    if (tag == AuthorTag) {
        // The first author of a run starts a new paper, so the previous one is complete.
        if (!inAuthorRun)
            FlushPaper();
        inAuthorRun = true;
        Authors_.push_back(UpperCaseAscii(std::string(value)));
        return;
    }
    inAuthorRun = false;
    if (tag == YearTag)
        Year_ = value;
    else if (tag == BookTitleTag)
        BookTitle_ = value;
    else if (tag == JournalTag)
        Journal_ = value;
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
    const bool input = CInputFiles::SameFile(SummaryPath_, bibliographyPath);
    SummaryOpen_ = !input && Summary_.Open(SummaryPath_);
    if (!SummaryOpen_) {
        ShowMessage(std::string(SummaryRefusedText) + "\n" +
                        (input ? SummaryPath_ + ": it is the bibliography itself, which must not be overwritten."
                               : FileReasonLine(SummaryPath_, Summary_.LastError())),
                    MessageKind::Warning);
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
