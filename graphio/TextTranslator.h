#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tessaro {

class CDamagedLines;
class CNetwork;
class CTextLines;

// What the readers of text files share, so that each keeps only its own line rules: the files
// of a read are loaded whole before the network changes, every line after an optional header
// goes to the reader's rule, lines that are not text or that the rule refuses are listed as
// damaged, and a read that runs out of memory is reported as its file's read error.
class CTextTranslator {
public:
    // Bound to the document's network, which must outlive the translator.
    explicit CTextTranslator(CNetwork* network);
    virtual ~CTextTranslator();
    CTextTranslator(const CTextTranslator&) = delete;
    CTextTranslator& operator=(const CTextTranslator&) = delete;

    // Milliseconds of the last topology pass, -1 before the first.
    double TopologyMilliseconds() const { return TopologyMilliseconds_; }

protected:
    // Whether the first line of a file is a header, skipped unread.
    enum class HeaderLine { None, Skip };
    // One line's rule: why the line is damaged, or empty when it was read or skipped as the
    // format has it. The reason is static text that reads after "line N: ".
    using LineRule = std::function<std::string_view(std::string_view line)>;

    // Runs `read`, which loads and reads the files. A translator bound to no network shows
    // "A invalid pointer!" and reads nothing; running out of memory drops what the read had
    // built (DropPartialRead) and shows the read error of `path`. Both give false.
    bool ReadGuarded(const std::string& path, const std::function<bool()>& read);
    // Loads `path` whole into `lines`; false after the file error has been shown.
    static bool LoadLines(const std::string& path, CTextLines& lines);
    // Hands every line of `lines` that is text to `rule`, after the header. A line that is not
    // text (TextDamage), and one the rule gives a reason for, is added to `damaged`.
    static void ReadLines(CTextLines& lines, HeaderLine header, CDamagedLines& damaged, const LineRule& rule);
    // What a read that ran out of memory leaves half built; nothing by default.
    virtual void DropPartialRead() {}

    // Whether chains between the same two nodes become one; it takes key mode 2 as well.
    enum class ParallelChains { Kept, Merged };
    // Finishes a network of named nodes so it can be drawn at once: the topology pass (its
    // node count said after `countPrefix`, its time kept), parallel chains merged when asked,
    // the nodes laid on a circle of radius 100, the chains made straight. False when merging
    // failed.
    bool FinishNamedNetwork(const std::string& countPrefix, ParallelChains parallel);

    CNetwork* Network_;
    double TopologyMilliseconds_ = -1.0;
};

} // namespace tessaro
