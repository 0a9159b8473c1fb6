// Line breaking: opportunities ascend, sit on code point starts, never say
// "prohibited", end with a mandatory break at the end of the text; the
// dictionary refinement keeps every mandatory break and adds none.
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
    return 0;
}
