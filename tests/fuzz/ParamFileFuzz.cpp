// libFuzzer target: arbitrary bytes read as a cartogram parameter file. Whatever the file
// holds, the block that comes out must write a file that reads back to the same block.
#include "engine/CartoParams.h"
#include "run/ParamFile.h"
#include "tests/fuzz/FuzzInput.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace tessaro;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& path = fuzz::InputPath(".cartoparam");
    fuzz::WriteInput(path, data, size);
    CartoParams params;
    LoadParamFile(params, path);
    const std::string text = params.FormatParamFile();

    const std::string& copy = fuzz::InputPath("-copy.cartoparam");
    fuzz::WriteInput(copy, reinterpret_cast<const uint8_t*>(text.data()), text.size());
    CartoParams again;
    LoadParamFile(again, copy);
    if (again.FormatParamFile() != text)
        std::abort();
    return 0;
}
