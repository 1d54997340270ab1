#include "graphio/DamagedLines.h"

namespace tessaro {

void CDamagedLines::Add(int64_t number, std::string_view reason)
{
    ++Count_;
    if (Listed_.size() < ListedLimit)
        Listed_.push_back(Line{number, reason});
}

void CDamagedLines::Clear()
{
    Count_ = 0;
    Listed_.clear();
}

} // namespace tessaro
