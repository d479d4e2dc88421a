// PNG decoding of any bytes.
#include "ImageFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::decodeImage(ui::decodePNG, data, size);
    return 0;
}
