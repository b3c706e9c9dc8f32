#include "app/local_time.h"

namespace korvane {

std::tm LocalCalendar(std::time_t t) {
    std::tm c{};
    (void)localtime_s(&c, &t);
    return c;
}

std::tm UtcCalendar(std::time_t t) {
    std::tm c{};
    (void)gmtime_s(&c, &t);
    return c;
}

} // namespace korvane
