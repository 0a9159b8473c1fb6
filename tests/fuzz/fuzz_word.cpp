// Word boundaries: start at 0, ascending, inside the text, on code point
// starts; and the fixed-width forms (UCS-2 and UCS-4, with and without
// their vector steps) give the boundaries of the UTF-8 form.
#include <algorithm>

#include "fuzz_common.h"
#include "segment/word.h"
#include "segment/word_scan.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace segment = scrivlet::segment;
    const std::string text = fuzz::to_utf8(data, size);
    const auto boundaries = segment::word_boundary_offsets(text);
    fuzz::check_boundaries(boundaries, text, true);

    const std::vector<char32_t> cps = scrivlet::utf8::decode_all(text);
    const std::u32string wide(cps.begin(), cps.end());
    const scrivlet::text::Fixed<char32_t> ucs4{wide.data(), wide.size()};
    const bool bmp = std::all_of(cps.begin(), cps.end(), [](char32_t c) { return c < 0x10000; });
    const std::u16string narrow(cps.begin(), cps.end());
    const scrivlet::text::Fixed<char16_t> ucs2{narrow.data(), narrow.size()};
    for (const bool vector : {true, false}) {
        segment::word_rules::allow_vector_word_steps(vector);
        fuzz::check(segment::word_boundary_offsets(ucs4) == boundaries, "UCS-4 gives the UTF-8 boundaries", text);
        if (bmp)
            fuzz::check(segment::word_boundary_offsets(ucs2) == boundaries, "UCS-2 gives the UTF-8 boundaries",
                        text);
    }
    segment::word_rules::allow_vector_word_steps(true);
    return 0;
}
