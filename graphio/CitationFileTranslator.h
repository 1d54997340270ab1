#pragma once

#include "graphio/DamagedLines.h"
#include "graphio/TextTranslator.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace tessaro {

// Builds an author citation network from two comma-separated tables, each with a header line:
// - the author table (the file opened): a quoted name, then two integers first and last; the
//   numbers first..last stand for that name, a later line taking over numbers already given;
// - the citation table beside it ("<path minus its last 10 characters>Citations.csv", so the
//   author table's file name must have 10 characters or more): the citing author before the
//   second comma, then the numbers of the cited entries separated by single blanks.
// Every citation is a chain of weight 1.0 from the cited author to the citing one; a cited entry
// naming several authors joined by " and " gives one chain per author. Parallel chains are
// merged afterwards, which needs the network in key mode 2; the document sets the mode.
class CCitationFileTranslator : public CTextTranslator {
public:
    // The only kind of citation files there is.
    static constexpr int AuthorAndCitationTables = 1;

    using CTextTranslator::CTextTranslator;

    // Reads the author table at `path` and its citation table and finishes the network. Any
    // kind but 1 returns false without reading. False after a message when either table cannot
    // be opened or read (both are read before the network changes) or memory runs out;
    // otherwise the result of FinishCitationNetwork. Blank and short lines are skipped as the
    // format has it. Damaged lines are skipped too and listed per table: an author line without
    // the quote closing its name, without the two commas before its numbers, with an empty name
    // or a number that is not one whole number; a citation line without its two commas, with an
    // empty citing name or a cited number that is not a number; and lines that are not text
    // (TextDamage).
    bool ReadCitations(const std::string& path, int kind);
    // The damaged lines of each table in the last ReadCitations; empty before the first.
    const CDamagedLines& DamagedAuthorLines() const { return DamagedAuthors_; }
    const CDamagedLines& DamagedCitationLines() const { return DamagedCitations_; }

    // Adds the chains of one citation; both names are trimmed first. An empty name shows
    // "Error. Empty author names!" and adds nothing. False when no chain was added.
    bool AddCitation(std::string_view cited, std::string_view citing);
    // Topology, parallel chains merged, nodes on a circle of radius 100, chains straight.
    bool FinishCitationNetwork();

    // The author table's name for a number written as "%d" writes it; empty for any other text
    // and for numbers no line gave.
    std::string AuthorForNumber(std::string_view number) const;
    // The citation table belonging to an author table: its path less the last 10 characters,
    // plus "Citations.csv" ("dataAuthor.csv" gives "dataCitations.csv").
    static std::string CitationTablePathFor(const std::string& authorTablePath);
    // Whether that cut stays within the author table's file name. A shorter name would take the
    // cut into the folders (or the working folder), to a table that does not belong to it; such
    // an author table is refused with a message naming the table the rule would need.
    static bool CitationTableBesideAuthors(const std::string& authorTablePath);

private:
    // Numbers first..last of one author line. Ranges are kept whole, not spread into one entry
    // per number, so a line claiming two billion numbers costs one entry.
    struct AuthorRange {
        int64_t Last;
        std::string Name;
    };

    void DropPartialRead() override { AuthorIndex_.clear(); }
    // Shows the refusal of an author table whose name is too short for the cut; true then.
    static bool RefuseShortName(const std::string& authorTablePath);
    // Each reads one line of its table. Returns why the line is damaged, empty when it was read
    // or skipped as the format has it.
    std::string_view ReadAuthorLine(std::string_view line);
    std::string_view ReadCitationLine(std::string_view line);
    // Gives first..last to `name`, cutting back the ranges of earlier lines that overlap it.
    void MapAuthorRange(int64_t first, int64_t last, const std::string& name);

    // Disjoint ranges keyed by their first number.
    std::map<int64_t, AuthorRange> AuthorIndex_;
    CDamagedLines DamagedAuthors_;
    CDamagedLines DamagedCitations_;
};

} // namespace tessaro
