#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tessaro::test {

// Builds shapefile bytes by hand, so that tests can write files no honest writer makes:
// wrong codes and versions, bad part starts, counts that run past the end.
class CShpBytes {
public:
    explicit CShpBytes(int32_t shapeType);

    // A point record (contents: type, X, Y).
    CShpBytes& AddPoint(double x, double y, int32_t recordType = 1);
    // A line or polygon record. The part and point counts written are those of `parts` and
    // `xy` unless given; the box is taken from the points.
    CShpBytes& AddParted(int32_t recordType, const std::vector<int32_t>& parts, const std::vector<double>& xy);
    CShpBytes& AddPartedWithCounts(int32_t recordType, int32_t numParts, int32_t numPoints,
                                   const std::vector<int32_t>& parts, const std::vector<double>& xy);
    // A null shape record (contents: type 0).
    CShpBytes& AddNull();
    // Overrides the content length (in 16-bit words) of the last record's header.
    CShpBytes& SetLastContentWords(int32_t words);

    // The file: header with the true file length, then the records.
    std::vector<unsigned char> Bytes() const;
    void Save(const std::string& path) const;

private:
    void BeginRecord();
    void EndRecord();

    int32_t ShapeType_;
    std::vector<unsigned char> Records_;
    size_t LastRecordStart_ = 0;
    int32_t RecordCount_ = 0;
    std::array<double, 4> Box_;
};

void PutInt32BigEndian(std::vector<unsigned char>& bytes, size_t offset, int32_t value);
void PutInt32LittleEndian(std::vector<unsigned char>& bytes, size_t offset, int32_t value);

} // namespace tessaro::test
