#include "tests/support/ShpBytes.h"

#include "tests/support/TempDir.h"

#include <algorithm>
#include <array>
#include <bit>
#include <limits>

namespace tessaro::test {
namespace {

void AppendInt32LittleEndian(std::vector<unsigned char>& bytes, int32_t value)
{
    bytes.resize(bytes.size() + 4);
    PutInt32LittleEndian(bytes, bytes.size() - 4, value);
}

void AppendDoubleLittleEndian(std::vector<unsigned char>& bytes, double value)
{
    const auto v = std::bit_cast<uint64_t>(value);
    for (int i = 0; i < 8; ++i)
        bytes.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

// Widens a box (min x, min y, max x, max y) to take in a point.
void Widen(std::array<double, 4>& box, double x, double y)
{
    box = {std::min(box[0], x), std::min(box[1], y), std::max(box[2], x), std::max(box[3], y)};
}

} // namespace

void PutInt32BigEndian(std::vector<unsigned char>& bytes, size_t offset, int32_t value)
{
    const auto v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        bytes[offset + static_cast<size_t>(i)] = static_cast<unsigned char>(v >> (24 - 8 * i));
}

void PutInt32LittleEndian(std::vector<unsigned char>& bytes, size_t offset, int32_t value)
{
    const auto v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        bytes[offset + static_cast<size_t>(i)] = static_cast<unsigned char>(v >> (8 * i));
}

CShpBytes::CShpBytes(int32_t shapeType)
    : ShapeType_(shapeType),
      Box_{std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
           std::numeric_limits<double>::lowest(), std::numeric_limits<double>::lowest()}
{
}

void CShpBytes::BeginRecord()
{
    LastRecordStart_ = Records_.size();
    Records_.resize(Records_.size() + 8);
    PutInt32BigEndian(Records_, LastRecordStart_, ++RecordCount_);
}

void CShpBytes::EndRecord()
{
    const size_t contentBytes = Records_.size() - LastRecordStart_ - 8;
    PutInt32BigEndian(Records_, LastRecordStart_ + 4, static_cast<int32_t>(contentBytes / 2));
}

CShpBytes& CShpBytes::AddPoint(double x, double y, int32_t recordType)
{
    BeginRecord();
    AppendInt32LittleEndian(Records_, recordType);
    AppendDoubleLittleEndian(Records_, x);
    AppendDoubleLittleEndian(Records_, y);
    EndRecord();
    Widen(Box_, x, y);
    return *this;
}

CShpBytes& CShpBytes::AddParted(int32_t recordType, const std::vector<int32_t>& parts, const std::vector<double>& xy)
{
    return AddPartedWithCounts(recordType, static_cast<int32_t>(parts.size()), static_cast<int32_t>(xy.size() / 2), parts, xy);
}

CShpBytes& CShpBytes::AddPartedWithCounts(int32_t recordType, int32_t numParts, int32_t numPoints,
                                          const std::vector<int32_t>& parts, const std::vector<double>& xy)
{
    std::array<double, 4> box{0, 0, 0, 0};
    if (xy.size() >= 2)
        box = {xy[0], xy[1], xy[0], xy[1]};
    for (size_t i = 0; i + 1 < xy.size(); i += 2)
        Widen(box, xy[i], xy[i + 1]);
    BeginRecord();
    AppendInt32LittleEndian(Records_, recordType);
    for (double v : box)
        AppendDoubleLittleEndian(Records_, v);
    AppendInt32LittleEndian(Records_, numParts);
    AppendInt32LittleEndian(Records_, numPoints);
    for (int32_t p : parts)
        AppendInt32LittleEndian(Records_, p);
    for (double v : xy)
        AppendDoubleLittleEndian(Records_, v);
    EndRecord();
    Widen(Box_, box[0], box[1]);
    Widen(Box_, box[2], box[3]);
    return *this;
}

CShpBytes& CShpBytes::AddNull()
{
    BeginRecord();
    AppendInt32LittleEndian(Records_, 0);
    EndRecord();
    return *this;
}

CShpBytes& CShpBytes::SetLastContentWords(int32_t words)
{
    PutInt32BigEndian(Records_, LastRecordStart_ + 4, words);
    return *this;
}

std::vector<unsigned char> CShpBytes::Bytes() const
{
    std::vector<unsigned char> bytes(100, 0);
    PutInt32BigEndian(bytes, 0, 9994);
    PutInt32LittleEndian(bytes, 28, 1000);
    PutInt32LittleEndian(bytes, 32, ShapeType_);
    std::vector<unsigned char> box;
    const bool empty = RecordCount_ == 0 || Box_[0] > Box_[2];
    for (int i = 0; i < 4; ++i)
        AppendDoubleLittleEndian(box, empty ? 0.0 : Box_[i]);
    std::copy(box.begin(), box.end(), bytes.begin() + 36);
    bytes.insert(bytes.end(), Records_.begin(), Records_.end());
    PutInt32BigEndian(bytes, 24, static_cast<int32_t>(bytes.size() / 2));
    return bytes;
}

void CShpBytes::Save(const std::string& path) const { WriteBytes(path, Bytes()); }

} // namespace tessaro::test
