// UTF-8 decoding and code point / byte offset bookkeeping shared by every area.
// The module only ever passes well-formed UTF-8 (Python strings), so decoding
// does no validation beyond staying inside the buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace scrivlet::utf8 {

// Length in bytes of the sequence introduced by lead byte b (1 for stray
// continuation bytes, so a scan always advances).
inline std::size_t sequence_length(unsigned char b) noexcept {
    if (b < 0x80) return 1;
    if (b < 0xE0) return b < 0xC0 ? 1 : 2;
    if (b < 0xF0) return 3;
    return 4;
}

inline bool is_continuation(unsigned char b) noexcept { return (b & 0xC0) == 0x80; }

// Decodes the code point starting at text[pos]; sets len to its byte length.
inline char32_t decode(std::string_view text, std::size_t pos, std::size_t& len) noexcept {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    unsigned char b0 = s[pos];
    if (b0 < 0x80) {
        len = 1;
        return b0;
    }
    std::size_t l = sequence_length(b0);
    if (pos + l > n) l = n - pos;
    len = l;
    switch (l) {
        case 2:
            return (char32_t(b0 & 0x1F) << 6) | (s[pos + 1] & 0x3F);
        case 3:
            return (char32_t(b0 & 0x0F) << 12) | (char32_t(s[pos + 1] & 0x3F) << 6) |
                   (s[pos + 2] & 0x3F);
        case 4:
            return (char32_t(b0 & 0x07) << 18) | (char32_t(s[pos + 1] & 0x3F) << 12) |
                   (char32_t(s[pos + 2] & 0x3F) << 6) | (s[pos + 3] & 0x3F);
        default:
            return b0;
    }
}

inline std::size_t encoded_length(char32_t cp) noexcept {
    return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
}

inline void append(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(char(cp));
    } else if (cp < 0x800) {
        out.push_back(char(0xC0 | (cp >> 6)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(char(0xE0 | (cp >> 12)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (cp >> 18)));
        out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    }
}

// Forward iteration: for (Decoder d(text); !d.done();) { char32_t c = d.next(); ... }
// offset() is the byte offset of the code point that next() will return.
class Decoder {
public:
    explicit Decoder(std::string_view text, std::size_t pos = 0) noexcept : text_(text), pos_(pos) {}
    bool done() const noexcept { return pos_ >= text_.size(); }
    std::size_t offset() const noexcept { return pos_; }
    char32_t next() noexcept {
        std::size_t len;
        char32_t c = decode(text_, pos_, len);
        pos_ += len;
        return c;
    }

private:
    std::string_view text_;
    std::size_t pos_;
};

// The text decoded into code points, with the byte offset of each one.
// offsets has one more entry than code points: the text length.
struct DecodedText {
    std::vector<char32_t> code_points;
    std::vector<std::size_t> offsets;
};

inline std::vector<char32_t> decode_all(std::string_view text) {
    std::vector<char32_t> out;
    out.reserve(text.size());
    for (Decoder d(text); !d.done();) out.push_back(d.next());
    return out;
}

inline DecodedText decode_with_offsets(std::string_view text) {
    DecodedText out;
    out.code_points.reserve(text.size());
    out.offsets.reserve(text.size() + 1);
    for (Decoder d(text); !d.done();) {
        out.offsets.push_back(d.offset());
        out.code_points.push_back(d.next());
    }
    out.offsets.push_back(text.size());
    return out;
}

inline std::string encode_all(const std::vector<char32_t>& cps) {
    std::string out;
    out.reserve(cps.size());
    for (char32_t c : cps) append(out, c);
    return out;
}

// Start of the code point containing byte offset pos (pos <= text.size()).
inline std::size_t floor_to_code_point(std::string_view text, std::size_t pos) noexcept {
    while (pos > 0 && pos < text.size() &&
           is_continuation(static_cast<unsigned char>(text[pos])))
        --pos;
    return pos;
}

}  // namespace scrivlet::utf8
