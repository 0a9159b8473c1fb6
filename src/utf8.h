// UTF-8 decoding and code point / byte offset bookkeeping shared by every area.
// The module only ever passes well-formed UTF-8 (Python strings), so decoding
// does no validation beyond staying inside the buffer.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
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

// Encodes cp at p, which has room for 4 bytes; returns the end of the sequence.
inline char* encode(char* p, char32_t cp) noexcept {
    if (cp < 0x80) {
        *p++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *p++ = static_cast<char>(0xC0 | (cp >> 6));
        *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *p++ = static_cast<char>(0xE0 | (cp >> 12));
        *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *p++ = static_cast<char>(0xF0 | (cp >> 18));
        *p++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return p;
}

inline void append(std::string& out, char32_t cp) {
    char buf[4];
    out.append(buf, static_cast<std::size_t>(encode(buf, cp) - buf));
}

// Growable UTF-8 output written through a raw pointer, for the operations that
// rewrite text; grows to twice its size or what is needed.
class Writer {
public:
    Writer() = default;
    explicit Writer(std::size_t size_hint) { start(size_hint); }
    void start(std::size_t size_hint) {
        buf_.resize(size_hint + 16);
        p_ = buf_.data();
        end_ = p_ + buf_.size();
    }
    bool started() const noexcept { return p_ != nullptr; }
    void ensure(std::size_t room) {
        if (static_cast<std::size_t>(end_ - p_) >= room) return;
        const std::size_t used = static_cast<std::size_t>(p_ - buf_.data());
        buf_.resize(std::max(buf_.size() * 2, used + room));
        p_ = buf_.data() + used;
        end_ = buf_.data() + buf_.size();
    }
    char* cursor() noexcept { return p_; }
    void advance(std::size_t n) noexcept { p_ += n; }
    void bytes(const char* data, std::size_t n) {
        ensure(n);
        std::memcpy(p_, data, n);
        p_ += n;
    }
    // The caller has ensured room for 4 bytes.
    void put_unchecked(char32_t c) noexcept { p_ = encode(p_, c); }
    [[gnu::always_inline]] void put(char32_t c) {
        ensure(4);
        p_ = encode(p_, c);
    }
    void put(std::u32string_view cps) {
        for (char32_t c : cps) put(c);
    }
    std::string finish() {
        buf_.resize(static_cast<std::size_t>(p_ - buf_.data()));
        return std::move(buf_);
    }

private:
    std::string buf_;
    char* p_ = nullptr;
    char* end_ = nullptr;
};

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

// Number of code points: the bytes that are not continuation bytes (10xxxxxx),
// counted eight at a time.
inline std::size_t count_code_points(std::string_view text) noexcept {
    constexpr std::uint64_t ones = 0x0101010101010101ULL;
    const char* p = text.data();
    const std::size_t n = text.size();
    std::size_t i = 0, continuations = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        continuations += (((w & ~(w << 1) & (0x80 * ones)) >> 7) * ones) >> 56;
    }
    for (; i < n; ++i) continuations += is_continuation(static_cast<unsigned char>(p[i]));
    return n - continuations;
}

inline std::vector<char32_t> decode_all(std::string_view text) {
    std::vector<char32_t> out;
    out.reserve(count_code_points(text));
    for (Decoder d(text); !d.done();) out.push_back(d.next());
    return out;
}

inline DecodedText decode_with_offsets(std::string_view text) {
    DecodedText out;
    const std::size_t n = count_code_points(text);
    out.code_points.reserve(n);
    out.offsets.reserve(n + 1);
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

// Offset of the first byte that does not begin a well-formed UTF-8 sequence
// (a stray continuation byte, a truncated or overlong sequence, a surrogate,
// a value above U+10FFFF), or npos when the whole text is well formed.
inline std::size_t first_invalid(std::string_view text) noexcept {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    auto cont = [&](std::size_t k) { return k < n && is_continuation(s[k]); };
    while (i < n) {
        if (i + 8 <= n) {  // ASCII eight bytes at a time
            std::uint64_t w;
            std::memcpy(&w, s + i, 8);
            if ((w & 0x8080808080808080ULL) == 0) {
                i += 8;
                continue;
            }
        }
        const unsigned char b = s[i];
        if (b < 0x80) {
            ++i;
        } else if (b >= 0xC2 && b <= 0xDF) {
            if (!cont(i + 1)) return i;
            i += 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            if (i + 1 >= n) return i;
            const unsigned char c = s[i + 1];
            const bool second_ok = b == 0xE0 ? (c >= 0xA0 && c <= 0xBF)    // no overlong
                                   : b == 0xED ? (c >= 0x80 && c <= 0x9F)  // no surrogate
                                               : is_continuation(c);
            if (!second_ok || !cont(i + 2)) return i;
            i += 3;
        } else if (b >= 0xF0 && b <= 0xF4) {
            if (i + 1 >= n) return i;
            const unsigned char c = s[i + 1];
            const bool second_ok = b == 0xF0 ? (c >= 0x90 && c <= 0xBF)    // no overlong
                                   : b == 0xF4 ? (c >= 0x80 && c <= 0x8F)  // at most U+10FFFF
                                               : is_continuation(c);
            if (!second_ok || !cont(i + 2) || !cont(i + 3)) return i;
            i += 4;
        } else {
            return i;  // a continuation byte, C0, C1 or F5..FF
        }
    }
    return std::string_view::npos;
}

// Start of the code point containing byte offset pos (pos <= text.size()).
inline std::size_t floor_to_code_point(std::string_view text, std::size_t pos) noexcept {
    while (pos > 0 && pos < text.size() &&
           is_continuation(static_cast<unsigned char>(text[pos])))
        --pos;
    return pos;
}

}  // namespace scrivlet::utf8
