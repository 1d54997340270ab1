#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tessaro {

// The lines of one text file that a reader left out because they were damaged, numbered from
// 1 as an editor numbers them. Lines the file's format skips on purpose (a header, blank or
// short lines) are not damage and never come here. Only the first ListedLimit lines are kept
// with their reasons while the count covers them all, so a binary file opened by mistake costs
// a bounded list however many lines it seems to have.
class CDamagedLines {
public:
    struct Line {
        int64_t Number = 0;
        // Static text that reads after "line N: ", e.g. "fewer than five commas".
        std::string_view Reason;
        bool operator==(const Line&) const = default;
    };

    static constexpr size_t ListedLimit = 1000;

    void Add(int64_t number, std::string_view reason);
    void Clear();

    bool Empty() const { return Count_ == 0; }
    int64_t Count() const { return Count_; }
    // The first damaged lines in file order, at most ListedLimit of them.
    const std::vector<Line>& Listed() const { return Listed_; }

private:
    int64_t Count_ = 0;
    std::vector<Line> Listed_;
};

} // namespace tessaro
