// Dictionary line breaking asks the pair rules only between the runs of the
// four dictionary scripts, from a letter of the run before: its result must be
// the plain line-break result with each run's inside replaced by the run's
// words, in every form of text. Random texts put runs that begin with a letter
// or a mark beside one of the code points the rules single out.

#include <random>

#include "forms.h"
#include "linebreak/mod.h"
#include "linebreak/runs.h"

using scrivlet::testing::Forms;
namespace lb = scrivlet::linebreak;

namespace {

// The plain opportunities, those inside a run replaced by its cuts.
std::vector<lb::Opportunity> plain_with_words(std::string_view text) {
    const lb::Utf8Units units(text);
    const lb::RunFinder<lb::Utf8Units> finder(units);
    std::vector<lb::Opportunity> out;
    auto run = finder.next(0, 0);
    auto pass_runs_before = [&](std::size_t offset) {
        for (; run && run->end_offset <= offset; run = finder.next(run->end, run->end_offset))
            lb::segment_run_into(lb::dictionary_for(run->lang), units, *run,
                                 [&](std::uint64_t at) { out.emplace_back(at, lb::BreakAction::Allowed); });
    };
    for (const auto& [offset, action] : lb::line_break_opportunities(text)) {
        pass_runs_before(offset);
        if (!run || offset <= run->start_offset || offset >= run->end_offset) out.emplace_back(offset, action);
    }
    return out;
}

// Beside the runs: spaces, ZWSP and the code points whose rules look back or
// ahead (quotes, brackets, numbers, hyphens after Hebrew, aksaras, marks...).
const std::u32string BETWEEN[] = {
    U" ", U"\u200B", U"  ", U" \u200B", U"\u200B ", U"\u00A0", U"(", U")", U"[ ", U"\"",
    U"\u201C", U"\u201D ", U"'", U"$", U"%", U"-", U"\u2010", U"5", U"1.5", U"a", U"\u05D0-",
    U"\u0301", U"\u25CC", U"\u1B05\u1B44", U"\u1BC0\u1BC1", U"\u1BF2", U"\U0001F1EF\U0001F1F5",
    U"\r\n", U"\n", U"\u3002", U"\u6771", U"\u2060", U"\u200D", U"\u200C", U"\u1A20\u1A60",
    U"\u0E51", U"\u17D4", U"\u104A", U"!", U"/", U",", U"\U0001F44D", U"\u0E3F", U"\u2014"};

std::vector<Forms> texts_between_runs(std::size_t count) {
    // Thai, Lao, Khmer and Myanmar, and a stretch of marks in each (half of a
    // run's code points, so that some runs begin with a mark or hold no letter).
    const std::pair<char32_t, char32_t> scripts[] = {
        {0x0E01, 0x0E4E}, {0x0E81, 0x0EDD}, {0x1780, 0x17DD}, {0x1000, 0x104F}};
    const std::pair<char32_t, char32_t> marks[] = {
        {0x0E34, 0x0E3A}, {0x0EC8, 0x0ECD}, {0x17B4, 0x17D3}, {0x102B, 0x103E}};
    std::mt19937 rng(20261208);
    std::vector<Forms> out;
    for (std::size_t t = 0; t < count; ++t) {
        std::u32string cps;
        for (int piece = rng() % 12; piece >= 0; --piece) {
            if (rng() % 2 == 0) {
                cps += BETWEEN[rng() % std::size(BETWEEN)];
                continue;
            }
            const std::size_t script = rng() % std::size(scripts);
            for (int n = 1 + rng() % 6; n > 0; --n) {
                const auto [a, b] = rng() % 2 ? scripts[script] : marks[script];
                cps.push_back(a + rng() % (b - a + 1));
                if (rng() % 30 == 0) cps.push_back(rng() % 2 ? 0x200C : 0x200D);
            }
        }
        out.emplace_back(std::move(cps));
    }
    return out;
}

// Every code point of BETWEEN before and after a short run that begins with a
// letter, begins with a mark or holds marks only, with a run of letters after.
std::vector<Forms> short_runs_between_everything() {
    const std::u32string runs[] = {U"\u0E01\u0E32", U"\u0E34\u0E01", U"\u0E34\u0E35",
                                   U"\u0EC8\u0EC9", U"\u1780\u17D2\u1780", U"\u17D2\u1780",
                                   U"\u102B\u103A", U"\u1000\u200D\u1001"};
    std::vector<Forms> out;
    for (const auto& before : BETWEEN)
        for (const auto& run : runs)
            for (const auto& after : BETWEEN) out.emplace_back(before + run + after + U"\u0E01\u0E32");
    return out;
}

// Runs apart by gaps of every length to 48 code points, which the run finder
// passes eight units at a time past the first sixteen: of one to four UTF-8
// bytes, and the code points just outside the ranges that open runs; and
// runs of the first and last code points inside them.
std::vector<Forms> runs_across_long_gaps() {
    const std::u32string fill[] = {U"a", U"a\u00E9\u03B1\u05D0\u4E00", U"\u0E00\u1A00 \uAA5F\uAA80",
                                   U"\u00E9\U0001F600a\u0DFF", U"\u4E00"};
    std::vector<Forms> out;
    for (const auto& cycle : fill)
        for (std::size_t gap = 0; gap <= 48; ++gap) {
            std::u32string cps = U"\u0E01\u0E32\u0E23";
            for (std::size_t k = 0; k < gap; ++k) cps += cycle[k % cycle.size()];
            out.emplace_back(cps + U"\u0E01\u0E32\u0E23\u0E40\u0E1B" + cps);
        }
    for (const char32_t edge : {0x0E01, 0x109F, 0x1780, 0x19FF, 0xAA60, 0xAA7F})
        for (std::size_t gap = 0; gap <= 40; ++gap)
            out.emplace_back(std::u32string(gap, U'a') + edge + edge + U" " + edge + edge);
    return out;
}

}  // namespace

TEST(dictionary_opportunities_are_the_plain_ones_with_each_run_cut_into_words) {
    for (const auto& texts : {texts_between_runs(3000), short_runs_between_everything(), runs_across_long_gaps()})
        for (const Forms& t : texts) {
            const auto expected = plain_with_words(t.utf8);
            CHECK(lb::line_break_opportunities_with_dictionary(std::string_view(t.utf8)) == expected);
            t.compare([](auto text) { return lb::line_break_opportunities_with_dictionary(text); },
                      [&](const std::vector<lb::Opportunity>& got, const std::vector<lb::Opportunity>&) {
                          CHECK(got == expected);
                      });
        }
}
