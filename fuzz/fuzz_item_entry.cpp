// Item entries: any text decodes or fails with a conversion error.
#include "store/catalogue.h"
#include "store/errors.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    korvane::tqAppInfo record;
    try {
        korvane::DecodeItemEntry(std::string(reinterpret_cast<const char*>(data), size), record);
    } catch (const korvane::ConvertError&) {
    }
    return 0;
}
