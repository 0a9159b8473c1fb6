// Line breaking: opportunities ascend, sit on code point starts, never say
// "prohibited", end with a mandatory break at the end of the text; the
// dictionary refinement keeps every mandatory break and adds none; and the
// fixed-width forms (UCS-2 with and without its vector steps, UCS-4) give
// the opportunities of the UTF-8 form.
#include <algorithm>

#include "fuzz_common.h"
#include "linebreak/mod.h"

using namespace scrivlet::linebreak;

namespace {

void check_opportunities(const std::vector<Opportunity>& ops, std::string_view text) {
    if (text.empty()) return;
    fuzz::check(!ops.empty() && ops.back().first == text.size() && ops.back().second == BreakAction::Mandatory,
                "mandatory break at the end", text);
    for (std::size_t i = 0; i < ops.size(); ++i) {
        fuzz::check(ops[i].second != BreakAction::Prohibited, "no prohibited entries", text);
        fuzz::check(ops[i].first > 0 && fuzz::on_code_point_start(text, ops[i].first), "break on a code point start", text);
        if (i) fuzz::check(ops[i - 1].first < ops[i].first, "breaks ascending", text);
    }
}

std::vector<std::uint64_t> mandatory(const std::vector<Opportunity>& ops) {
    std::vector<std::uint64_t> out;
    for (const auto& [offset, action] : ops)
        if (action == BreakAction::Mandatory) out.push_back(offset);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = fuzz::to_utf8(data, size);
    const auto plain = line_break_opportunities(text);
    const auto refined = line_break_opportunities_with_dictionary(text);
    check_opportunities(plain, text);
    check_opportunities(refined, text);
    fuzz::check(mandatory(plain) == mandatory(refined), "dictionary keeps mandatory breaks", text);
    fuzz::check(line_break_actions(text).size() == text.size() + 1, "one action per offset", text);

    const std::vector<char32_t> cps = scrivlet::utf8::decode_all(text);
    const std::u32string wide(cps.begin(), cps.end());
    const scrivlet::text::Fixed<char32_t> ucs4{wide.data(), wide.size()};
    const bool bmp = std::all_of(cps.begin(), cps.end(), [](char32_t c) { return c < 0x10000; });
    const std::u16string narrow(cps.begin(), cps.end());
    const scrivlet::text::Fixed<char16_t> ucs2{narrow.data(), narrow.size()};
    // With the vector steps of the table and without them; in UCS-2 also
    // without the AVX2 steps of stretches.
    for (const bool vector : {true, false}) {
        allow_vector_steps(vector);
        fuzz::check(line_break_opportunities(ucs4) == plain, "UCS-4 gives the UTF-8 opportunities", text);
        fuzz::check(line_break_opportunities_with_dictionary(ucs4) == refined,
                    "UCS-4 gives the UTF-8 dictionary opportunities", text);
        for (const bool avx2 : {true, false}) {
            if (!bmp) break;
            allow_avx2_stretches(avx2);
            fuzz::check(line_break_opportunities(ucs2) == plain, "UCS-2 gives the UTF-8 opportunities", text);
            fuzz::check(line_break_opportunities_with_dictionary(ucs2) == refined,
                        "UCS-2 gives the UTF-8 dictionary opportunities", text);
        }
        allow_avx2_stretches(true);
    }
    allow_vector_steps(true);
    return 0;
}
