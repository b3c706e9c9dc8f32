// Clock-time text in three locale shapes: parse, and what parses writes back.
#include "store/clock_time.h"
#include "store/errors.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const korvane::TimeFormat formats[] = {
        korvane::TimeFormatFromPosix("%k:%M:%S", "", ""),
        korvane::TimeFormatFromPosix("%H.%M.%S", "", "", ","),
        korvane::TimeFormatFromPosix("%p %I:%M:%S", "午前", "午後")};
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const auto& format : formats) {
        try {
            const double t = korvane::ParseClockTime(text, format);
            if (t < 0.0 || t >= 1.0) {
                std::abort(); // a time of day, always
            }
            (void)korvane::ParseClockTime(korvane::FormatClockTime(t, format), format);
        } catch (const korvane::ConvertError&) {
        }
    }
    return 0;
}
