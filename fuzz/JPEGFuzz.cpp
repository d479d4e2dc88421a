// Picture decoding of any bytes, from JPEG seeds.
#include "ImageFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::decodeImage(data, size);
    return 0;
}
