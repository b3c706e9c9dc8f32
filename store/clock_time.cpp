#include "store/clock_time.h"

#include "store/errors.h"
#include "store/utf8.h"

#include <cmath>
#include <optional>

namespace korvane {

namespace {

constexpr std::int64_t kDayMs = 86400000;

TimeFormat& CurrentFormat() {
    static TimeFormat format = LocaleTimeFormat();
    return format;
}

struct Directive {
    enum Kind { None, Hour, Minute, Second, Designator } kind = None;
    bool twelve = false;
    bool padded = true;
};

// Expands the composite directives so that only single fields remain.
std::string ExpandComposites(std::string_view fmt) {
    std::string out;
    for (std::size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] != '%' || i + 1 >= fmt.size()) {
            out += fmt[i];
            continue;
        }
        const char c = fmt[i + 1];
        if (c == 'T') {
            out += "%H:%M:%S";
        } else if (c == 'r') {
            out += "%I:%M:%S %p";
        } else if (c == 'R') {
            out += "%H:%M";
        } else {
            out += fmt.substr(i, 2);
        }
        ++i;
    }
    return out;
}

// The designators and decimal separator a locale gives; empty ones keep the defaults.
TimeFormat WithLocaleTexts(TimeFormat format, std::string_view am, std::string_view pm,
                           std::string_view decimalSeparator) {
    if (!am.empty()) {
        format.am = std::string(am);
    }
    if (!pm.empty()) {
        format.pm = std::string(pm);
    }
    if (!decimalSeparator.empty()) {
        format.decimalSeparator = std::string(decimalSeparator);
    }
    return format;
}

} // namespace

TimeFormat TimeFormatFromPosix(std::string_view timeFormat, std::string_view am,
                               std::string_view pm, std::string_view decimalSeparator) {
    TimeFormat result;
    const std::string fmt = ExpandComposites(timeFormat);
    bool sawHour = false;
    bool sawDesignator = false;
    bool inSeparator = false;
    std::string separator;
    for (std::size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] != '%') {
            if (inSeparator) {
                separator += fmt[i];
            }
            continue;
        }
        std::size_t j = i + 1;
        bool padded = true;
        while (j < fmt.size() && (fmt[j] == '-' || fmt[j] == '_' || fmt[j] == '0' ||
                                  fmt[j] == 'E' || fmt[j] == 'O')) {
            if (fmt[j] == '-' || fmt[j] == '_') {
                padded = false;
            }
            ++j;
        }
        if (j >= fmt.size()) {
            break;
        }
        const char c = fmt[j];
        i = j;
        if (c == 'H' || c == 'k' || c == 'I' || c == 'l') {
            sawHour = true;
            result.twelveHour = (c == 'I' || c == 'l');
            result.leadingZero = padded && (c == 'H' || c == 'I');
            inSeparator = true;
            if (sawDesignator) {
                result.designatorFirst = true;
            }
        } else if (c == 'M') {
            if (inSeparator && !separator.empty()) {
                result.separator = separator;
            }
            inSeparator = false;
        } else if (c == 'p' || c == 'P') {
            sawDesignator = true;
            inSeparator = false;
            if (!sawHour) {
                result.designatorFirst = true;
            }
        } else {
            inSeparator = false;
        }
    }
    return WithLocaleTexts(result, am, pm, decimalSeparator);
}

TimeFormat TimeFormatFromWindows(std::string_view pattern, std::string_view am, std::string_view pm,
                                 std::string_view decimalSeparator) {
    TimeFormat result;
    bool sawHour = false;
    bool sawDesignator = false;
    bool inSeparator = false;
    std::string separator;
    for (std::size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        std::size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c) {
            ++run;
        }
        if (c == '\'') {
            // A quoted literal ('' inside quotes is one quote).
            std::size_t j = i + 1;
            std::string literal;
            while (j < pattern.size()) {
                if (pattern[j] == '\'') {
                    if (j + 1 < pattern.size() && pattern[j + 1] == '\'') {
                        literal += '\'';
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                literal += pattern[j++];
            }
            if (inSeparator) {
                separator += literal;
            }
            i = j;
            continue;
        }
        if (c == 'H' || c == 'h') {
            sawHour = true;
            result.twelveHour = c == 'h';
            result.leadingZero = run >= 2;
            result.designatorFirst = sawDesignator;
            inSeparator = true;
        } else if (c == 'm') {
            if (inSeparator && !separator.empty()) {
                result.separator = separator;
            }
            inSeparator = false;
        } else if (c == 't') {
            sawDesignator = true;
            inSeparator = false;
            if (!sawHour) {
                result.designatorFirst = true;
            }
        } else if (c == 's') {
            inSeparator = false;
        } else if (inSeparator) {
            separator.append(run, c);
        }
        i += run;
    }
    return WithLocaleTexts(result, am, pm, decimalSeparator);
}

const TimeFormat& UserTimeFormat() {
    return CurrentFormat();
}

void SetUserTimeFormat(const TimeFormat& format) {
    CurrentFormat() = format;
}

std::int64_t DayFractionToMilliseconds(double dayFraction) {
    if (!std::isfinite(dayFraction)) {
        return 0;
    }
    double frac = dayFraction - std::floor(dayFraction);
    // Rounded half up by hand: frac is never negative, and a direct launch
    // then needs no maths library.
    auto ms = static_cast<std::int64_t>(frac * static_cast<double>(kDayMs) + 0.5);
    return ms % kDayMs;
}

double MillisecondsToDayFraction(std::int64_t ms) {
    return static_cast<double>(ms) / static_cast<double>(kDayMs);
}

std::string FormatClockTime(double dayFraction, const TimeFormat& format) {
    const std::int64_t ms = DayFractionToMilliseconds(dayFraction);
    int hour = static_cast<int>(ms / 3600000);
    const int minute = static_cast<int>(ms / 60000 % 60);
    const int second = static_cast<int>(ms / 1000 % 60);
    std::string designator;
    if (format.twelveHour) {
        designator = hour < 12 ? format.am : format.pm;
        hour = hour % 12 == 0 ? 12 : hour % 12;
    }
    auto two = [](int v) {
        return std::string(1, static_cast<char>('0' + v / 10)) + static_cast<char>('0' + v % 10);
    };
    std::string text =
        (format.leadingZero && hour < 10) ? "0" + std::to_string(hour) : std::to_string(hour);
    text += format.separator + two(minute) + format.separator + two(second);
    if (format.twelveHour) {
        text = format.designatorFirst ? designator + " " + text : text + " " + designator;
    }
    return text;
}

namespace {

class TimeScanner {
  public:
    TimeScanner(std::string_view text, const TimeFormat& format) : s_(text), f_(format) {}

    void SkipBlanks() {
        while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t')) {
            ++pos_;
        }
    }
    bool AtEnd() const { return pos_ == s_.size(); }

    bool Literal(std::string_view lit) {
        if (!lit.empty() && s_.substr(pos_).starts_with(lit)) {
            pos_ += lit.size();
            return true;
        }
        return false;
    }

    // Returns 0 for AM, 12 for PM.
    std::optional<int> Designator() {
        const std::pair<std::string_view, int> words[] = {
            {f_.am, 0}, {f_.pm, 12}, {"AM", 0}, {"PM", 12}};
        for (const auto& [word, add] : words) {
            if (!word.empty() && utf8::EqualFolded(s_.substr(pos_, word.size()), word)) {
                pos_ += word.size();
                return add;
            }
        }
        return std::nullopt;
    }

    std::optional<int> Number() {
        const std::size_t start = pos_;
        long value = 0;
        while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') {
            value = value * 10 + (s_[pos_] - '0');
            if (value > 100000) {
                return std::nullopt;
            }
            ++pos_;
        }
        if (pos_ == start) {
            return std::nullopt;
        }
        return static_cast<int>(value);
    }

  private:
    std::string_view s_;
    const TimeFormat& f_;
    std::size_t pos_ = 0;
};

std::optional<std::int64_t> ScanClockTime(std::string_view text, const TimeFormat& format) {
    TimeScanner in(text, format);
    in.SkipBlanks();
    std::optional<int> designator = in.Designator();
    in.SkipBlanks();
    const auto hour = in.Number();
    if (!hour) {
        return std::nullopt;
    }
    int minute = 0, second = 0, milli = 0;
    in.SkipBlanks();
    if (in.Literal(format.separator)) {
        in.SkipBlanks();
        const auto m = in.Number();
        if (!m) {
            return std::nullopt;
        }
        minute = *m;
        in.SkipBlanks();
        if (in.Literal(format.separator)) {
            in.SkipBlanks();
            const auto s = in.Number();
            if (!s) {
                return std::nullopt;
            }
            second = *s;
            in.SkipBlanks();
            if (in.Literal(format.decimalSeparator)) {
                in.SkipBlanks();
                const auto ms = in.Number();
                if (!ms) {
                    return std::nullopt;
                }
                milli = *ms;
            }
        }
    }
    if (!designator) {
        in.SkipBlanks();
        designator = in.Designator();
    }
    in.SkipBlanks();
    if (!in.AtEnd()) {
        return std::nullopt;
    }
    int h = *hour;
    if (designator) {
        if (h < 1 || h > 12) {
            return std::nullopt;
        }
        h = h % 12 + *designator;
    } else if (h > 23) {
        return std::nullopt;
    }
    if (minute > 59 || second > 59 || milli > 999) {
        return std::nullopt;
    }
    return std::int64_t{h} * 3600000 + minute * 60000 + second * 1000 + milli;
}

} // namespace

double ParseClockTime(std::string_view text, const TimeFormat& format) {
    const auto ms = ScanClockTime(text, format);
    if (!ms) {
        throw ConvertError("'" + std::string(text) + "' is not a valid time");
    }
    return MillisecondsToDayFraction(*ms);
}

} // namespace korvane
