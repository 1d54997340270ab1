// libFuzzer target: arbitrary bytes as the attribute table beside a shapefile, read the ways a
// cartogram reads it: the field list, the size field as the run reads it (for slot counts
// that match and that do not match the table), and the plain size-field reader.
#include "geodata/SizeField.h"
#include "tests/fuzz/FuzzInput.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using namespace tessaro;

namespace {

// The record count the header claims, bounded so a hostile header cannot ask for a huge array.
size_t ClaimedRecords(const uint8_t* data, size_t size)
{
    if (size < 8)
        return 0;
    uint32_t count = 0;
    std::memcpy(&count, data + 4, sizeof count);
    return count > 100000 ? 100000 : count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& path = fuzz::InputPath(".dbf");
    fuzz::WriteInput(path, data, size);
    ListSizeFields(path);
    for (size_t slots : {size_t{0}, size_t{1}, size_t{3}, ClaimedRecords(data, size)}) {
        const SizeColumn column = ReadSizeColumn(path, slots, "POP");
        if (column.Result == SizeColumn::Outcome::Read && column.Fractions.size() != slots)
            __builtin_trap();
        std::vector<double> values(slots);
        ReadSizeField(path, values.data(), slots, "");
    }
    return 0;
}
