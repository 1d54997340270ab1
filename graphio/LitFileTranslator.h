#pragma once

#include "graphio/DamagedLines.h"
#include "graphio/TextTranslator.h"
#include "platform/AtomicFileWriter.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessaro {

// Builds a co-author network from a tagged bibliography: every line is a four-character tag
// ("AU: ", "PY: ", "BT: ", "JR: ") and a value. A run of author lines starts a paper; the
// paper's authors form a clique of chains of weight 1.0 labelled with its year, book title and
// journal, and a paper with one author gives a loop on that author. Author names are upper-cased
// and cut after their first full stop, so "Doe J." and "DOE J.R." are one author. Beside the
// bibliography a summary "<path minus its last four characters>_paper_sum.csv" lists every
// paper's number and author count. The network is expected in key mode 1 (names, ordered by
// name); the document sets the mode.
class CLitFileTranslator : public CTextTranslator {
public:
    // ReadBibliography results.
    static constexpr int ReadSucceeded = 1;
    static constexpr int ReadFailed = -1;

    using CTextTranslator::CTextTranslator;

    // Reads the bibliography into the network, builds its topology and lays the authors out on a
    // circle of radius 100 with straight chains. Returns ReadSucceeded, or ReadFailed after a
    // message when the file cannot be opened or read (the network is left as it was) or memory
    // runs out. A summary file that cannot be written is reported and the read goes on.
    // Short, blank and untagged lines are part of the format; an author tag followed by blanks
    // only adds an author whose name is empty. Lines that are not text
    // (TextDamage) are skipped as if they were not there, without ending a run of authors, and
    // listed in DamagedLines.
    int ReadBibliography(const std::string& path);
    // The damaged lines of the last ReadBibliography; empty before the first.
    const CDamagedLines& DamagedLines() const { return Damaged_; }

    // Cut right after the first full stop ("SMITH J.A." -> "SMITH J."); unchanged without one.
    static std::string NormaliseAuthorName(std::string_view name);
    // The paper summary beside `path`: its last four characters replaced by "_paper_sum.csv"
    // (never cutting into the folder part).
    static std::string SummaryPathFor(const std::string& path);

    // The number the next paper gets in the summary; 1 for a new translator, and it keeps
    // counting over further bibliographies read by the same translator.
    int32_t PaperCounter() const { return PaperCounter_; }

private:
    // The rule of one tagged line; `inAuthorRun` carries the run of author lines across lines.
    void ReadTaggedLine(std::string_view line, bool& inAuthorRun);
    // The summary is abandoned and the paper being read forgotten.
    void DropPartialRead() override;
    // Completes the paper being read: its summary line and its chains. Returns 1 when pairs were
    // made, 0 for a single author or none.
    int FlushPaper();
    void OpenSummary(const std::string& bibliographyPath);
    void WriteSummary(const std::string& text);
    void CloseSummary();
    void ClearPaper();

    std::vector<std::string> Authors_;
    std::string Year_;
    std::string BookTitle_;
    std::string Journal_;
    CAtomicFileWriter Summary_;
    bool SummaryOpen_ = false;
    std::string SummaryPath_;
    // Summary lines not yet handed to the writer; written in large blocks.
    std::string SummaryBuffer_;
    int32_t PaperCounter_ = 1;
    CDamagedLines Damaged_;
};

} // namespace tessaro
