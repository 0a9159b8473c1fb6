// Shared pieces of the fuzz targets: turning arbitrary bytes into the
// well-formed UTF-8 the core is given, and invariant checks that abort.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "segment/grapheme.h"
#include "utf8.h"

namespace fuzz {

// Keeps well-formed sequences and replaces every ill-formed byte with U+FFFD.
inline std::string to_utf8(const std::uint8_t* data, std::size_t size) {
    std::string out;
    out.reserve(size);
    std::size_t i = 0;
    while (i < size) {
        const std::uint8_t b = data[i];
        std::size_t len = 0;
        char32_t cp = 0, min = 0;
        if (b < 0x80) {
            len = 1, cp = b;
        } else if (b >= 0xC2 && b <= 0xDF) {
            len = 2, cp = b & 0x1F, min = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            len = 3, cp = b & 0x0F, min = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            len = 4, cp = b & 0x07, min = 0x10000;
        }
        bool ok = len > 0 && i + len <= size;
        for (std::size_t k = 1; ok && k < len; ++k) {
            if ((data[i + k] & 0xC0) != 0x80) ok = false;
            cp = (cp << 6) | (data[i + k] & 0x3F);
        }
        if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
        if (ok) {
            out.append(reinterpret_cast<const char*>(data + i), len);
            i += len;
        } else {
            out.append("\xEF\xBF\xBD");
            ++i;
        }
    }
    return out;
}

// Splits off a leading 64-bit number (for offsets and limits), then the text.
struct Input {
    std::uint64_t number = 0;
    std::string text;
};

inline Input split_input(const std::uint8_t* data, std::size_t size) {
    Input in;
    const std::size_t head = size < 8 ? size : 8;
    for (std::size_t i = 0; i < head; ++i) in.number = (in.number << 8) | data[i];
    // Small offsets are the interesting ones; keep a few huge ones too.
    if ((in.number >> 63) == 0) in.number %= (size + 16);
    in.text = to_utf8(data + head, size - head);
    return in;
}

[[noreturn]] inline void fail(const char* what, std::string_view text) {
    std::fprintf(stderr, "invariant broken: %s (text of %zu bytes)\n", what, text.size());
    std::abort();
}

inline void check(bool ok, const char* what, std::string_view text) {
    if (!ok) fail(what, text);
}

inline bool on_code_point_start(std::string_view text, std::uint64_t offset) {
    return offset == text.size() ||
           (offset < text.size() && !scrivlet::utf8::is_continuation(static_cast<unsigned char>(text[offset])));
}

inline std::size_t code_point_count(std::string_view text) {
    std::size_t n = 0;
    for (unsigned char c : text) n += !scrivlet::utf8::is_continuation(c);
    return n;
}

inline bool is_valid_utf8(std::string_view s) {
    return to_utf8(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()) == s &&
           s.find("\xEF\xBF\xBD") == std::string_view::npos;
}

// Boundary lists: ascending, inside the text, on code point starts.
inline void check_boundaries(const std::vector<std::uint64_t>& b, std::string_view text, bool holds_zero_when_empty) {
    if (text.empty()) {
        check(b.size() == (holds_zero_when_empty ? 1u : 0u), "empty text boundaries", text);
        return;
    }
    check(!b.empty() && b[0] == 0, "boundaries start at 0", text);
    for (std::size_t i = 0; i < b.size(); ++i) {
        check(b[i] < text.size(), "boundary inside the text", text);
        check(on_code_point_start(text, b[i]), "boundary on a code point start", text);
        if (i) check(b[i - 1] < b[i], "boundaries ascending", text);
    }
}

inline std::vector<std::uint64_t> cluster_edges(std::string_view text) {
    auto starts = scrivlet::segment::grapheme_cluster_starts(text);
    starts.push_back(text.size());
    return starts;
}

inline bool is_cluster_edge(const std::vector<std::uint64_t>& edges, std::uint64_t offset) {
    return std::binary_search(edges.begin(), edges.end(), offset);
}

}  // namespace fuzz
