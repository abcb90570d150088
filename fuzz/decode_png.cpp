// PNG import: any bytes decode within the limits or fail cleanly.
#include "DecoderTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return morvane::fuzz::RunDecoder(morvane::DecodePng, data, size);
}
