#include "graphio/CitationFileTranslator.h"

#include "graphio/NamedNetwork.h"
#include "graphio/TextLines.h"
#include "network/Network.h"
#include "platform/UserInterface.h"

#include <iterator>
#include <limits>
#include <optional>
#include <vector>

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

// A cited entry's number: an optional sign and decimal digits. Whether an author has it is
// another matter; text that is no number at all is damage.
bool IsNumberText(std::string_view text)
{
    if (!text.empty() && (text.front() == '-' || text.front() == '+'))
        text.remove_prefix(1);
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// The cited numbers of a citation line, separated by single blanks: a doubled blank leaves an
// empty number, which cites nobody. Nothing when one of them is no number at all.
std::optional<std::vector<std::string_view>> CitedNumbers(std::string_view list)
{
    std::vector<std::string_view> numbers;
    for (;;) {
        const size_t blank = list.find(' ');
        numbers.push_back(list.substr(0, blank));
        if (!numbers.back().empty() && !IsNumberText(numbers.back()))
            return std::nullopt;
        if (blank == std::string_view::npos)
            return numbers;
        list.remove_prefix(blank + 1);
    }
}

} // namespace

std::string CCitationFileTranslator::CitationTablePathFor(const std::string& authorTablePath)
{
    const size_t keep = authorTablePath.size() > CitationTableTail ? authorTablePath.size() - CitationTableTail : 0;
    return authorTablePath.substr(0, keep) + "Citations.csv";
}

bool CCitationFileTranslator::CitationTableBesideAuthors(const std::string& authorTablePath)
{
    const size_t slash = authorTablePath.rfind('/');
    const size_t nameLength = slash == std::string::npos ? authorTablePath.size() : authorTablePath.size() - slash - 1;
    return nameLength >= CitationTableTail;
}

bool CCitationFileTranslator::RefuseShortName(const std::string& authorTablePath)
{
    if (CitationTableBesideAuthors(authorTablePath))
        return false;
    const size_t slash = authorTablePath.rfind('/');
    const std::string name = slash == std::string::npos ? authorTablePath : authorTablePath.substr(slash + 1);
    ShowMessage("The citation table of " + authorTablePath + " would be " + CitationTablePathFor(authorTablePath) +
                    ": its name is the author table's path less its last 10 characters plus \"Citations.csv\", "
                    "and the name " +
                    name + " is shorter than 10 characters.",
                MessageKind::Error);
    return true;
}

bool CCitationFileTranslator::ReadCitations(const std::string& path, int kind)
{
    DamagedAuthors_.Clear();
    DamagedCitations_.Clear();
    if (kind != AuthorAndCitationTables || RefuseShortName(path))
        return false;
    const bool read = ReadGuarded(path, [&] {
        CTextLines authors;
        CTextLines citations;
        if (!LoadLines(path, authors) || !LoadLines(CitationTablePathFor(path), citations))
            return false;
        // The index serves the tables of one read.
        AuthorIndex_.clear();
        ReadLines(authors, HeaderLine::Skip, DamagedAuthors_, [this](std::string_view line) { return ReadAuthorLine(line); });
        ReadLines(citations, HeaderLine::Skip, DamagedCitations_,
                  [this](std::string_view line) { return ReadCitationLine(line); });
        return true;
    });
    return read && FinishCitationNetwork();
}

std::string_view CCitationFileTranslator::ReadAuthorLine(std::string_view line)
{
    if (line.size() < ShortestAuthorLine)
        return {};
    // The name runs to the first double quote after the line's first character; the numbers
    // follow the next two commas.
    const size_t quote = line.find('"', 1);
    if (quote == std::string_view::npos)
        return "no double quote closing the name";
    const size_t firstComma = line.find(',', quote + 1);
    const size_t secondComma = firstComma == std::string_view::npos ? firstComma : line.find(',', firstComma + 1);
    if (secondComma == std::string_view::npos)
        return "fewer than two commas after the name";
    const std::string name = WithoutQuotes(line.substr(0, quote));
    if (TrimBlanks(name).empty())
        return "an empty name";
    // The last number ends at a further comma, as the C conversion stopped there.
    const std::string_view lastField = line.substr(secondComma + 1);
    const std::optional<int32_t> first = WholeCInteger(line.substr(firstComma + 1, secondComma - firstComma - 1));
    const std::optional<int32_t> last = WholeCInteger(lastField.substr(0, lastField.find(',')));
    if (!first || !last)
        return "a first or last number that is not a whole number";
    MapAuthorRange(*first, *last, name);
    return {};
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

std::string_view CCitationFileTranslator::ReadCitationLine(std::string_view line)
{
    line = TrimBlanks(line);
    if (line.size() < ShortestCitationLine)
        return {};
    // The citing name is "Last, First": its own comma is the first of the line.
    const size_t firstComma = line.find(',');
    const size_t secondComma = firstComma == std::string_view::npos ? firstComma : line.find(',', firstComma + 1);
    if (secondComma == std::string_view::npos)
        return "fewer than two commas";
    // "Last, First" with neither part is no name, though its comma is left.
    const auto emptyPart = [line](size_t from, size_t to) {
        return TrimBlanks(WithoutQuotes(line.substr(from, to - from))).empty();
    };
    if (emptyPart(0, firstComma) && emptyPart(firstComma + 1, secondComma))
        return "an empty citing name";
    const std::string citing(TrimBlanks(WithoutQuotes(line.substr(0, secondComma))));
    // The whole line is checked before any of its citations is added.
    const std::optional<std::vector<std::string_view>> numbers = CitedNumbers(line.substr(secondComma + 1));
    if (!numbers)
        return "a cited number that is not a number";
    for (const std::string_view number : *numbers) {
        const std::string cited(TrimBlanks(AuthorForNumber(number)));
        if (!cited.empty())
            AddCitation(cited, citing);
    }
    return {};
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
    return FinishNamedNetwork("The number of authors is: ", ParallelChains::Merged);
}

} // namespace tessaro
