#include "graphio/CitationFileTranslator.h"

#include "graphio/NamedNetwork.h"
#include "graphio/TextLines.h"
#include "network/Network.h"
#include "platform/FileError.h"
#include "platform/UserInterface.h"

#include <cerrno>
#include <iterator>
#include <limits>
#include <new>
#include <optional>

namespace tessaro {
namespace {

// Shorter author lines cannot hold a quoted name and two numbers; they are skipped.
constexpr size_t ShortestAuthorLine = 10;
// Shorter (trimmed) citation lines are skipped.
constexpr size_t ShortestCitationLine = 4;
constexpr size_t CitationTableTail = 10;
constexpr std::string_view AuthorSeparator = " and ";

// The number that "%d" prints as exactly `text`: an optional minus, then digits without a
// leading zero ("0" alone excepted), within the 32-bit range. Anything else names no number.
std::optional<int64_t> DecimalNumber(std::string_view text)
{
    const bool negative = !text.empty() && text.front() == '-';
    const std::string_view digits = negative ? text.substr(1) : text;
    if (digits.empty() || digits.size() > 10 || (digits.front() == '0' && (digits.size() > 1 || negative)))
        return std::nullopt;
    int64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (negative)
        value = -value;
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return value;
}

bool ReportUnreadable(const std::string& path, const CTextLines& lines)
{
    ShowMessage(CFileError(path, lines.FailedAction(), lines.LastError()).what(), MessageKind::Error);
    return false;
}

} // namespace

CCitationFileTranslator::CCitationFileTranslator(CNetwork* network) : Network_(network) {}

CCitationFileTranslator::~CCitationFileTranslator() = default;

std::string CCitationFileTranslator::CitationTablePathFor(const std::string& authorTablePath)
{
    return ReplaceFileNameTail(authorTablePath, CitationTableTail, "Citations.csv");
}

bool CCitationFileTranslator::ReadCitations(const std::string& path, int kind)
{
    if (kind != AuthorAndCitationTables)
        return false;
    if (Network_ == nullptr) {
        ShowMessage("A invalid pointer!", MessageKind::Error);
        return false;
    }
    const std::string citationPath = CitationTablePathFor(path);
    try {
        CTextLines authors;
        if (!authors.Load(path))
            return ReportUnreadable(path, authors);
        CTextLines citations;
        if (!citations.Load(citationPath))
            return ReportUnreadable(citationPath, citations);
        // The index serves the tables of one read.
        AuthorIndex_.clear();
        ReadAuthorTable(authors);
        ReadCitationTable(citations);
    } catch (const std::bad_alloc&) {
        AuthorIndex_.clear();
        ShowMessage(CFileError(path, "read", ENOMEM).what(), MessageKind::Error);
        return false;
    }
    return FinishCitationNetwork();
}

void CCitationFileTranslator::ReadAuthorTable(CTextLines& lines)
{
    std::string_view line;
    if (!lines.Next(line))
        return; // the header
    while (lines.Next(line)) {
        if (line.size() < ShortestAuthorLine)
            continue;
        // The name runs to the first double quote after the line's first character; a line
        // without that quote, or without the commas before both numbers, is no author line.
        const size_t quote = line.find('"', 1);
        if (quote == std::string_view::npos)
            continue;
        const size_t firstComma = line.find(',', quote + 1);
        if (firstComma == std::string_view::npos)
            continue;
        const size_t secondComma = line.find(',', firstComma + 1);
        if (secondComma == std::string_view::npos)
            continue;
        const int32_t first = ReadCInteger(line.substr(firstComma + 1, secondComma - firstComma - 1));
        const int32_t last = ReadCInteger(line.substr(secondComma + 1));
        MapAuthorRange(first, last, WithoutQuotes(line.substr(0, quote)));
    }
}

void CCitationFileTranslator::MapAuthorRange(int64_t first, int64_t last, const std::string& name)
{
    if (first > last)
        return;
    // A range that starts before `first` and reaches into it keeps only what lies outside.
    auto next = AuthorIndex_.lower_bound(first);
    if (next != AuthorIndex_.begin()) {
        auto before = std::prev(next);
        if (before->second.Last >= first) {
            const int64_t oldLast = before->second.Last;
            before->second.Last = first - 1;
            if (oldLast > last)
                AuthorIndex_.emplace(last + 1, AuthorRange{oldLast, before->second.Name});
        }
    }
    // Ranges that start inside first..last go, except for any part beyond `last`.
    auto inside = AuthorIndex_.lower_bound(first);
    while (inside != AuthorIndex_.end() && inside->first <= last) {
        if (inside->second.Last > last) {
            AuthorRange tail = std::move(inside->second);
            AuthorIndex_.erase(inside);
            AuthorIndex_.emplace(last + 1, std::move(tail));
            break;
        }
        inside = AuthorIndex_.erase(inside);
    }
    AuthorIndex_.emplace(first, AuthorRange{last, name});
}

std::string CCitationFileTranslator::AuthorForNumber(std::string_view number) const
{
    const std::optional<int64_t> value = DecimalNumber(number);
    if (!value)
        return {};
    auto after = AuthorIndex_.upper_bound(*value);
    if (after == AuthorIndex_.begin())
        return {};
    const auto& range = *std::prev(after);
    return range.second.Last >= *value ? range.second.Name : std::string();
}

void CCitationFileTranslator::ReadCitationTable(CTextLines& lines)
{
    std::string_view line;
    if (!lines.Next(line))
        return; // the header
    while (lines.Next(line)) {
        line = TrimBlanks(line);
        if (line.size() < ShortestCitationLine)
            continue;
        // The citing name is "Last, First": its own comma is the first of the line.
        const size_t firstComma = line.find(',');
        const size_t secondComma = firstComma == std::string_view::npos ? firstComma : line.find(',', firstComma + 1);
        if (secondComma == std::string_view::npos)
            continue;
        const std::string citing(TrimBlanks(WithoutQuotes(line.substr(0, secondComma))));
        std::string_view numbers = line.substr(secondComma + 1);
        for (;;) {
            const size_t blank = numbers.find(' ');
            const std::string cited(TrimBlanks(AuthorForNumber(numbers.substr(0, blank))));
            if (!cited.empty() && !citing.empty())
                AddCitation(cited, citing);
            if (blank == std::string_view::npos)
                break;
            numbers.remove_prefix(blank + 1);
        }
    }
}

bool CCitationFileTranslator::AddCitation(std::string_view cited, std::string_view citing)
{
    cited = TrimBlanks(cited);
    citing = TrimBlanks(citing);
    if (cited.empty() || citing.empty()) {
        ShowMessage("Error. Empty author names!", MessageKind::Error);
        return false;
    }
    if (Network_ == nullptr)
        return false;
    bool added = false;
    for (;;) {
        const size_t join = cited.find(AuthorSeparator);
        // "A  and B" leaves blanks around a part, and "A and  and B" an empty part: neither is
        // an author of its own.
        const std::string_view author = TrimBlanks(cited.substr(0, join));
        if (!author.empty() && AddNamedChain(*Network_, std::string(author), std::string(citing), 1.0))
            added = true;
        if (join == std::string_view::npos)
            break;
        cited.remove_prefix(join + AuthorSeparator.size());
    }
    return added;
}

bool CCitationFileTranslator::FinishCitationNetwork()
{
    if (Network_ == nullptr)
        return false;
    TopologyMilliseconds_ = BuildNamedTopology(*Network_, "The number of authors is: ");
    const bool merged = Network_->MergeParallelChains();
    Network_->PlaceNodesOnCircle(NamedNetworkRadius);
    Network_->MakeStraightChains();
    return merged;
}

} // namespace tessaro
