#include "tests/support/BoostRecords.h"

#include <boost/geometry/algorithms/area.hpp>
#include <boost/geometry/strategies/cartesian/area.hpp>

#include <cmath>
#include <utility>

namespace tessaro::test {

BoostRecord ToBoostRecord(const ShapelibShape& shape)
{
    BoostRecord record;
    for (size_t part = 0; part < shape.PartStarts.size(); ++part) {
        const size_t end =
            part + 1 < shape.PartStarts.size() ? static_cast<size_t>(shape.PartStarts[part + 1]) : shape.X.size();
        BoostPolygon::ring_type ring;
        for (auto i = static_cast<size_t>(shape.PartStarts[part]); i < end; ++i)
            ring.emplace_back(shape.X[i], shape.Y[i]);
        if (boost::geometry::area(ring) >= 0.0 || record.empty())
            record.push_back(BoostPolygon{ring});
        else
            record.back().inners().push_back(std::move(ring));
    }
    return record;
}

std::vector<BoostRecord> ReadBoostRecords(const std::string& shpPath)
{
    std::vector<BoostRecord> records;
    for (const ShapelibShape& shape : ReadWithShapelib(shpPath))
        records.push_back(ToBoostRecord(shape));
    return records;
}

double WeightedAreaError(const std::vector<BoostRecord>& records, const std::vector<double>& shares)
{
    double total = 0.0;
    for (const BoostRecord& record : records)
        total += boost::geometry::area(record);
    double sum = 0.0;
    for (size_t i = 0; i < records.size() && i < shares.size(); ++i) {
        const double area = boost::geometry::area(records[i]);
        const double desired = shares[i] * total;
        sum += std::fabs(area - desired) / (area + desired) * area;
    }
    return sum / total;
}

} // namespace tessaro::test
