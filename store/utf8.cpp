#include "store/utf8.h"

#include <algorithm>

#include <cstdint>

namespace korvane::utf8 {

char32_t LowerCodePoint(char32_t c); // per platform, in case_fold_*.cpp

namespace {

// Decodes the character at pos; returns its length and sets cp, or returns 1
// with cp = U+FFFFFFFF for a malformed byte.
std::size_t Decode(std::string_view s, std::size_t pos, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(s[pos]);
    cp = 0xFFFFFFFF;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    std::size_t len = 0;
    char32_t value = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, value = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, value = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, value = b0 & 0x07, min = 0x10000;
    } else {
        return 1;
    }
    if (pos + len > s.size()) {
        return 1;
    }
    for (std::size_t i = 1; i < len; ++i) {
        const auto b = static_cast<unsigned char>(s[pos + i]);
        if ((b & 0xC0) != 0x80) {
            return 1;
        }
        value = (value << 6) | (b & 0x3F);
    }
    if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 1;
    }
    cp = value;
    return len;
}

void Encode(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace

std::size_t CharLength(std::string_view text, std::size_t pos) {
    char32_t cp = 0;
    return Decode(text, pos, cp);
}

bool IsValid(std::string_view text) {
    for (std::size_t pos = 0; pos < text.size();) {
        char32_t cp = 0;
        pos += Decode(text, pos, cp);
        if (cp == 0xFFFFFFFF) {
            return false;
        }
    }
    return true;
}

std::string Displayable(std::string_view text) {
    std::string out;
    for (std::size_t pos = 0; pos < text.size();) {
        char32_t cp = 0;
        const std::size_t len = Decode(text, pos, cp);
        if (cp == 0xFFFFFFFF) {
            Encode(0xFFFD, out);
        } else {
            out.append(text.substr(pos, len));
        }
        pos += len;
    }
    return out;
}

std::string DisplayFileName(std::string_view name) {
    if (IsValid(name)) {
        return std::string(name);
    }
    std::string out;
    for (std::size_t pos = 0; pos < name.size();) {
        char32_t cp = 0;
        const std::size_t len = Decode(name, pos, cp);
        if (cp == 0xFFFFFFFF) {
            Encode(static_cast<unsigned char>(name[pos]), out); // one byte, one letter
            pos += 1;
            continue;
        }
        out.append(name.substr(pos, len));
        pos += len;
    }
    return out + " (invalid encoding)";
}

std::string_view FirstChars(std::string_view text, std::size_t maxChars) {
    std::size_t pos = 0;
    for (std::size_t n = 0; n < maxChars && pos < text.size(); ++n) {
        pos += CharLength(text, pos);
    }
    return text.substr(0, pos);
}

std::string_view FirstBytes(std::string_view text, std::size_t maxBytes) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t len = CharLength(text, pos);
        if (pos + len > maxBytes) {
            break;
        }
        pos += len;
    }
    return text.substr(0, pos);
}

std::string FoldCase(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto b = static_cast<unsigned char>(text[pos]);
        if (b < 0x80) {
            out += (b >= 'A' && b <= 'Z') ? static_cast<char>(b + ('a' - 'A')) : text[pos];
            ++pos;
            continue;
        }
        char32_t cp = 0;
        const std::size_t len = Decode(text, pos, cp);
        if (cp == 0xFFFFFFFF) {
            out += text[pos];
        } else {
            Encode(LowerCodePoint(cp), out);
        }
        pos += len;
    }
    return out;
}

namespace {

// The bytes FoldCase makes of a text, one at a time.
class FoldedBytes {
  public:
    explicit FoldedBytes(std::string_view text) : text_(text) {}
    int Next() { // -1 at the end
        if (at_ < chunk_.size()) {
            return static_cast<unsigned char>(chunk_[at_++]);
        }
        if (pos_ >= text_.size()) {
            return -1;
        }
        const auto b = static_cast<unsigned char>(text_[pos_]);
        if (b < 0x80) {
            ++pos_;
            return (b >= 'A' && b <= 'Z') ? b + ('a' - 'A') : b;
        }
        // As FoldCase does it, one character at a time (at most four bytes).
        const std::size_t length = CharLength(text_, pos_);
        chunk_ = FoldCase(text_.substr(pos_, length));
        pos_ += length;
        at_ = 1;
        return static_cast<unsigned char>(chunk_[0]);
    }

  private:
    std::string_view text_;
    std::size_t pos_ = 0;
    std::string chunk_;
    std::size_t at_ = 0;
};

} // namespace

int CompareFolded(std::string_view a, std::string_view b) {
    // ASCII, byte by byte, up to the first character that is not.
    const std::size_t common = std::min(a.size(), b.size());
    std::size_t i = 0;
    for (; i < common; ++i) {
        auto p = static_cast<unsigned char>(a[i]);
        auto q = static_cast<unsigned char>(b[i]);
        if ((p | q) & 0x80) {
            break;
        }
        p = (p >= 'A' && p <= 'Z') ? p + ('a' - 'A') : p;
        q = (q >= 'A' && q <= 'Z') ? q + ('a' - 'A') : q;
        if (p != q) {
            return p < q ? -1 : 1;
        }
    }
    if (i == common) { // every character folds to one byte or more
        return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
    }
    FoldedBytes x(a.substr(i)), y(b.substr(i));
    for (;;) {
        const int p = x.Next();
        const int q = y.Next();
        if (p != q) {
            return p < q ? -1 : 1;
        }
        if (p < 0) {
            return 0;
        }
    }
}

bool EqualFolded(std::string_view a, std::string_view b) {
    return a == b || FoldCase(a) == FoldCase(b);
}

std::filesystem::path ToPath(std::string_view text) {
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

std::string FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

} // namespace korvane::utf8
