// The public C++ interface on arbitrary bytes: every function refuses the
// text exactly when it is not well-formed UTF-8, and otherwise answers.
#include <scrivlet/scrivlet.hpp>

#include <stdexcept>

#include "fuzz_common.h"

namespace {

// Whether fn(text) threw std::invalid_argument; any other outcome returns.
template <typename Fn>
bool refused(Fn&& fn) {
    try {
        fn();
        return false;
    } catch (const std::invalid_argument&) {
        return true;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::uint64_t current = 0;
    const std::size_t head = size < 2 ? size : 2;
    for (std::size_t i = 0; i < head; ++i) current = (current << 8) | data[i];
    const std::string_view text(reinterpret_cast<const char*>(data + head), size - head);
    // An independent reading: ill-formed bytes become U+FFFD, so a text is
    // well formed exactly when that leaves it unchanged.
    const bool valid = fuzz::to_utf8(data + head, size - head) == text;
    fuzz::check(scrivlet::is_valid_utf8(text) == valid, "is_valid_utf8", text);

    const bool outcomes[] = {
        refused([&] { return scrivlet::grapheme_boundaries(text); }),
        refused([&] { return scrivlet::word_boundaries(text); }),
        refused([&] { return scrivlet::sentence_boundaries(text); }),
        refused([&] { return scrivlet::line_break_opportunities(text); }),
        refused([&] { return scrivlet::line_break_opportunities_with_dictionary(text); }),
        refused([&] { return scrivlet::bidi_resolve(text); }),
        refused([&] { return scrivlet::normalize_nfc(text); }),
        refused([&] { return scrivlet::normalize_nfd(text); }),
        refused([&] { return scrivlet::normalize_nfkc(text); }),
        refused([&] { return scrivlet::normalize_nfkd(text); }),
        refused([&] { return scrivlet::to_lowercase(text, "tr"); }),
        refused([&] { return scrivlet::to_uppercase(text); }),
        refused([&] { return scrivlet::to_titlecase(text); }),
        refused([&] { return scrivlet::case_fold(text); }),
        refused([&] { return scrivlet::case_fold_simple(text); }),
        refused([&] { return scrivlet::display_width(text); }),
        refused([&] { return scrivlet::truncate_graphemes(text, current); }),
        refused([&] { return scrivlet::truncate_display_width(text, current); }),
        refused([&] { return scrivlet::move_right(text, current); }),
        refused([&] { return scrivlet::move_left(text, current); }),
        refused([&] { return scrivlet::move_right_visual(text, current); }),
        refused([&] { return scrivlet::move_left_visual(text, current); }),
        refused([&] { return scrivlet::select_word(text, current); }),
    };
    for (bool was_refused : outcomes) fuzz::check(was_refused == !valid, "refused iff ill-formed", text);
    if (valid) {
        const auto starts = scrivlet::grapheme_boundaries(text);
        const auto core = scrivlet::segment::grapheme_cluster_starts(text);
        fuzz::check(std::equal(starts.begin(), starts.end(), core.begin(), core.end()),
                    "public grapheme boundaries are the core's", text);
    }
    return 0;
}
