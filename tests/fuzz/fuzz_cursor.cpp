// Logical cursor and word selection: results are cluster edges (or, for
// word_at, word boundaries) and move in the asked direction; and the
// fixed-width forms, their caret located in the read that checks for
// surrogates (with AVX2 and without), give the results of the UTF-8 form.
#include <algorithm>
#include <tuple>

#include "cursor/mod.h"
#include "fuzz_common.h"
#include "segment/units.h"
#include "segment/word.h"

using namespace scrivlet;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto in = fuzz::split_input(data, size);
    const std::string_view text = in.text;
    const auto edges = fuzz::cluster_edges(text);
    const std::uint64_t left = cursor::cursor_left(text, in.number);
    const std::uint64_t right = cursor::cursor_right(text, in.number);
    fuzz::check(left <= text.size() && fuzz::is_cluster_edge(edges, left), "left on a cluster edge", text);
    fuzz::check(right <= text.size() && fuzz::is_cluster_edge(edges, right), "right on a cluster edge", text);
    if (!text.empty()) {
        fuzz::check(left < in.number || in.number == 0, "left moves back", text);
        fuzz::check(right > in.number || right == text.size(), "right moves forward", text);
        // Moving right then left from a cluster start comes back to it.
        if (in.number < text.size() && fuzz::is_cluster_edge(edges, in.number))
            fuzz::check(cursor::cursor_left(text, right) == in.number, "right then left returns", text);
    }
    const auto [start, end] = cursor::word_at(text, in.number);
    fuzz::check(start <= end, "word range ordered", text);
    if (!text.empty() && in.number < text.size()) {
        fuzz::check(start <= in.number && in.number < end && end <= text.size(), "word range holds the offset", text);
        auto words = segment::word_boundary_offsets(text);
        words.push_back(text.size());
        fuzz::check(std::binary_search(words.begin(), words.end(), start) &&
                        std::binary_search(words.begin(), words.end(), end),
                    "word range on word boundaries", text);
    }

    const std::vector<char32_t> cps = utf8::decode_all(text);
    const std::u32string wide(cps.begin(), cps.end());
    const std::u16string narrow(cps.begin(), cps.end());
    const bool bmp = std::all_of(cps.begin(), cps.end(), [](char32_t c) { return c < 0x10000; });
    const auto expected = std::tuple(left, right, std::pair(start, end));
    const auto located = [&](auto form) {
        const segment::LocatedChecked at = segment::locate_offset_checking_surrogates(form, in.number);
        fuzz::check(!at.surrogate, "no surrogate found in a text without one", text);
        return std::tuple(cursor::cursor_left(form, in.number, at.at), cursor::cursor_right(form, in.number, at.at),
                          cursor::word_at(form, in.number, at.at));
    };
    for (const bool avx2 : {true, false}) {
        segment::allow_avx2_locate(avx2);
        fuzz::check(located(text::Ucs4{wide.data(), wide.size()}) == expected, "UCS-4 moves as UTF-8", text);
        if (bmp)
            fuzz::check(located(text::Ucs2{narrow.data(), narrow.size()}) == expected, "UCS-2 moves as UTF-8",
                        text);
    }
    segment::allow_avx2_locate(true);
    return 0;
}
