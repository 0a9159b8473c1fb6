// Line breaking gives the same opportunities whichever form its text comes in:
// UTF-8, or the interpreter's fixed-width Latin-1, UCS-2 and UCS-4 units.
// Random texts of every script, texts with long runs of the four dictionary
// scripts, emoji sequences and East Asian runs, compared against the UTF-8 path.

#include <random>

#include "forms.h"
#include "linebreak/mod.h"

using scrivlet::testing::Forms;
using scrivlet::testing::random_texts;
namespace lb = scrivlet::linebreak;

namespace {

// Runs of letters and marks of one dictionary script (some with a joiner
// inside), between spaces, digits, Latin, CJK, emoji and line ends.
std::vector<Forms> dictionary_texts(std::size_t count) {
    const std::pair<char32_t, char32_t> scripts[] = {
        {0x0E01, 0x0E4E}, {0x0E81, 0x0EDD}, {0x1780, 0x17DD}, {0x1000, 0x104F}};
    const std::u32string others[] = {U" ", U"12", U"abc", U"\n", U"(", U"\u3002\u6771",
                                     U"\U0001F44D\U0001F3FD", U"\u200C", U"\u200D", U"\u0E51"};
    std::mt19937 rng(20261209);
    std::vector<Forms> out;
    for (std::size_t t = 0; t < count; ++t) {
        std::u32string cps;
        for (int piece = rng() % 6; piece >= 0; --piece) {
            if (rng() % 3 == 0) {
                cps += others[rng() % std::size(others)];
                continue;
            }
            const auto [a, b] = scripts[rng() % std::size(scripts)];
            for (int n = 1 + rng() % 24; n > 0; --n) {
                cps.push_back(a + rng() % (b - a + 1));
                if (rng() % 40 == 0) cps.push_back(rng() % 2 ? 0x200C : 0x200D);
            }
        }
        out.emplace_back(std::move(cps));
    }
    return out;
}

// Runs of ASCII letters of every length, each ended by a code point one bit
// away from a letter in some unit width (the letter runs are found many
// units at a time), or by a space before the next word.
std::vector<Forms> near_letter_texts(std::size_t count) {
    const char32_t ends[] = {U'@', U'[', U'`', U'{', U' ', U'.', 0xC1, 0xE1, 0x141, 0x161,
                             0x4141, 0x10061, 0x1F1E6, 0x200B};
    std::mt19937 rng(20261208);
    std::vector<Forms> out;
    for (std::size_t t = 0; t < count; ++t) {
        std::u32string cps;
        for (int word = 1 + rng() % 6; word > 0; --word) {
            for (int n = rng() % 20; n > 0; --n) cps.push_back((rng() % 2 ? U'a' : U'A') + rng() % 26);
            cps.push_back(ends[rng() % std::size(ends)]);
        }
        out.emplace_back(std::move(cps));
    }
    return out;
}

// Words of letters and marks beyond ASCII (Cyrillic, Greek, Thai, Devanagari,
// Latin-1, Hebrew), mostly between single spaces, with what ends a word
// among them: two spaces, a mark or U+25CC after a space, punctuation,
// digits, ZW, ZWJ, an ASCII word and a letter beyond the BMP. One text in
// twenty has hundreds of short words of one script with few such ends:
// more breaks in a run than the room made for them, and than a batch holds.
std::vector<Forms> letter_word_texts(std::size_t count) {
    const std::pair<char32_t, char32_t> letters[] = {
        {0x0430, 0x044F}, {0x03B1, 0x03C9}, {0x0E01, 0x0E3A}, {0x0915, 0x094D}, {0x00E0, 0x00FF},
        {0x05D0, 0x05EA}, {0x0300, 0x0303}};
    const std::u32string breaks[] = {U"  ", U" \u0301", U" \u25CC", U" %", U"%", U" -", U"-",
                                     U" (", U")", U" 12", U"\u200B", U"\u200D", U" abc",
                                     U" \U00010400", U"\n", U"."};
    std::mt19937 rng(20261210);
    std::vector<Forms> out;
    for (std::size_t t = 0; t < count; ++t) {
        std::u32string cps;
        const bool many = t % 20 == 0;
        const std::size_t script = rng() % (std::size(letters) - 1);  // of the long texts: not the marks
        for (int word = many ? 300 + rng() % 300 : 1 + rng() % 8; word > 0; --word) {
            const auto [a, b] = letters[many ? script : rng() % std::size(letters)];
            for (int n = 1 + rng() % (many ? 3 : 12); n > 0; --n) cps.push_back(a + rng() % (b - a + 1));
            if (rng() % (many ? 64 : 4) == 0)
                cps += breaks[rng() % std::size(breaks)];
            else
                cps.push_back(U' ');
        }
        out.emplace_back(std::move(cps));
    }
    return out;
}

// Emoji sequences: pictographs in and beyond the BMP, skin tones, joiners,
// variation selectors, tags, keycaps, flags and unassigned pictographs, with
// spaces, letters and what the rules read beyond a class among them.
std::vector<Forms> emoji_texts(std::size_t count) {
    const std::u32string pieces[] = {
        U"\U0001F469", U"\U0001F3FD", U"\u200D", U"\uFE0F", U"\u20E3", U"\U000E0067\U000E007F", U"\u2640",
        U"\u2764", U"\u261D", U"\U0001F600", U"\U0001F91D", U" ", U"  ", U"a", U"1", U"#", U"\u200B",
        U"\U0001F1E6", U"\"", U"\u00AB", U"(", U")", U"\u300C", U"-", U"\u00A0", U"\u25CC", U"\U0001F02C",
        U"\U0001FC00", U"!", U"/", U"%", U"\n", U"\u05D0", U"\u4E00", U"\u0301", U"\u2060", U"\U00020000"};
    std::mt19937 rng(20261211);
    std::vector<Forms> out;
    for (std::size_t t = 0; t < count; ++t) {
        std::u32string cps;
        for (int n = 1 + rng() % 40; n > 0; --n) cps += pieces[rng() % std::size(pieces)];
        out.emplace_back(std::move(cps));
    }
    return out;
}

// Runs of ideographs, kana and Hangul syllables (ID, H2, H3) with what is
// held within them (NS, CL: small kana, the prolonged sound mark, commas and
// full stops), mostly between single spaces, and what ends a run: two
// spaces, an ideographic space, brackets, quotes, marks, jamo, ZW, ZWJ,
// digits, Latin, an emoji and an ideograph beyond the BMP.
std::vector<Forms> east_asian_texts(std::size_t count) {
    const std::u32string runs[] = {U"\u4E00\u4E8C\u5B57", U"\uAC00\uAC01\uD55C", U"\u3042\u30A2\u30AB"};
    const std::u32string held[] = {U"\u30FC", U"\u3041", U"\u3063", U"\u3001", U"\u3002", U"\uFF0C",
                                   U"\uFF1A", U"\u300D", U"\uFF09", U"}"};
    const std::u32string ends[] = {U"  ", U"\u3000", U"\u300C", U"\uFF08", U"\u201C", U"\u201D", U"\"",
                                   U"\u0301", U"\u3099", U"\u1100\u1161\u11A8", U"\u200B", U"\u200D",
                                   U"12", U"%s", U"ab", U"\U0001F600", U"\U00020000", U"\n", U" (", U"-"};
    std::mt19937 rng(20261212);
    std::vector<Forms> out;
    for (std::size_t t = 0; t < count; ++t) {
        std::u32string cps;
        for (int piece = 1 + rng() % 12; piece > 0; --piece) {
            const std::u32string& run = runs[rng() % std::size(runs)];
            for (int n = 1 + rng() % 4; n > 0; --n) cps.push_back(run[rng() % run.size()]);
            const unsigned r = rng() % 8;
            if (r < 2)
                cps += held[rng() % std::size(held)];
            else if (r == 2)
                cps += ends[rng() % std::size(ends)];
            if (rng() % 3 != 0) cps.push_back(U' ');
        }
        out.emplace_back(std::move(cps));
    }
    return out;
}

void same_opportunities(const std::vector<lb::Opportunity>& got,
                        const std::vector<lb::Opportunity>& expected) {
    CHECK(got == expected);
}

}  // namespace

TEST(line_break_opportunities_are_the_same_in_every_form) {
    for (const auto& texts : {random_texts(3000), dictionary_texts(1000), near_letter_texts(2000),
                              letter_word_texts(2000), emoji_texts(3000), east_asian_texts(3000)})
        for (const Forms& t : texts)
            t.compare([](auto text) { return lb::line_break_opportunities(text); },
                      same_opportunities);
}

TEST(a_joiner_before_what_no_base_joins_is_the_rules_own_in_every_form) {
    // After a pictograph the emoji table takes a ZWJ before it sees what
    // follows; where that is no base, or the text ends, the rules decide.
    const std::u32string before[] = {U"\U0001F469", U"\U0001F469\U0001F3FD", U"\U0001F469\uFE0F",
                                     U"\U0001F469\u0300", U"x \U0001F600"};
    const std::u32string after[] = {U"\U0001F1E6\U0001F1E7", U" a", U"\u200D\U0001F469", U"\uFE0F!", U"(",
                                    U"1", U"\n\U0001F469", U"\u00AB", U"\U0001F469"};
    const auto opportunities = [](auto text) { return lb::line_break_opportunities(text); };
    for (const auto& b : before) {
        Forms(U"a " + b + U"\u200D").compare(opportunities, same_opportunities);
        for (const auto& a : after)
            Forms(U"a " + b + U"\u200D" + a + U" \U0001F469").compare(opportunities, same_opportunities);
    }
}

TEST(letter_stretches_without_avx2_are_the_same_in_every_form) {
    // The steps of processors without AVX2, which this one may not take by itself.
    lb::allow_avx2_stretches(false);
    for (const Forms& t : letter_word_texts(2000))
        t.compare([](auto text) { return lb::line_break_opportunities(text); }, same_opportunities);
    lb::allow_avx2_stretches(true);
}

TEST(texts_of_the_table_columns_keep_their_opportunities_with_the_vector_steps_and_without) {
    // Texts of 64 units and more, where the steps of the rules' table go
    // sixty-two units at a time: every printable ASCII unit, letters and
    // marks of several blocks (more than the two a step reads beside ASCII;
    // in one text in three, of every pool, so that the steps look each unit
    // up instead),
    // long runs of marks, marks on digits and punctuation where the steps
    // end, and what the steps leave to the others: quotes
    // of either side, ZW, NBSP, dashes, a mark after a space, line ends,
    // ideographs, U+25CC, joiners and code points beyond the BMP (some
    // whose low 16 bits are ASCII letters or spaces).
    const std::u32string pools[] = {
        U"\u03B1\u03B2\u03B3\u03B4\u03B5\u03AC\u03AF\u0301", U"\u0430\u0431\u0432\u0433\u044F\u0451",
        U"\u05D0\u05D1\u05D2\u05E9\u05B7\u05BC\u05F3\u05F4\u05BE", U"\u0E01\u0E02\u0E40\u0E48\u0E49\u0E31\u0E33",
        U"\u0915\u0916\u093E\u093F\u094D\u0902\u0964", U"\u00E9\u00E0\u0107\u0151\u1EA1\u1EC7\u0300",
        U"\u0627\u0628\u064E\u0660\u060C", U"\u1780\u1781\u17B6\u17D2\u17D4"};
    std::u32string ascii;
    for (char32_t u = 0x20; u < 0x7F; ++u) ascii.push_back(u);
    const std::u32string rare[] = {
        U"\u00AB", U"\u00BB", U"\u2019", U"\u201C", U"\u200B", U"\u00A0", U"\u2014", U" \u0301", U"\n",
        U"\r\n", U"\t", U"\u4E00", U"\u3001", U"\u25CC", U"\u200D", U"\u2060", U"\U00010061", U"\U00010020",
        U"\U0001F600", U"1.5", U"(12)", U"$3", U"4%", U"a-b", U" -a", U"1\u0301.5", U"12\u0301%",
        U"5\u0301\u00AB", U")\u0301\u00AB", U"-\u0301\u00AB", U"$\u0301(", U"%\u0301\u0301\u00AB",
        U"\u0966\u093F", U"/\u093F", U":\u0E49\u00AB", U"\u060C\u064E", U"\u0660\u064E\n",
        U"\u0E01" + std::u32string(20, U'\u0E48') + U" ", U"a" + std::u32string(40, U'\u0301') + U"1"};
    const std::u32string marks = U"\u0301\u05B7\u0E48\u0E31\u093F\u094D\u0902\u064E\u17B6\u17D2";
    const std::u32string stops = U"\u00AB\u2019\n\u200B\u00A0\u2014\u4E00\u0966 (1a";
    std::mt19937 rng(20261210);
    for (int t = 0; t < 600; ++t) {
        std::u32string text;
        const std::size_t target = 64 + rng() % 1500;
        const unsigned rate = 4 + rng() % 200;  // about one piece in rate from rare
        const std::size_t first = rng() % std::size(pools), second = rng() % std::size(pools);
        const bool every = t % 3 == 0;
        while (text.size() < target) {
            const unsigned r = rng() % 100;
            const std::u32string& pool = pools[every ? rng() % std::size(pools) : rng() % 2 ? first : second];
            if (rng() % rate == 0)
                text += rare[rng() % std::size(rare)];
            else if (r < 10)
                text.push_back(ascii[rng() % ascii.size()]);
            else if (r < 14)  // a mark on ASCII, where the steps may end
                text += {ascii[rng() % ascii.size()], marks[rng() % marks.size()], stops[rng() % stops.size()]};
            else
                text.push_back(r < 22 ? U' ' : pool[rng() % pool.size()]);
        }
        const Forms forms(std::move(text));
        for (const bool vector : {true, false}) {
            lb::allow_vector_steps(vector);
            forms.compare([](auto text) { return lb::line_break_opportunities(text); }, same_opportunities);
        }
        lb::allow_vector_steps(true);
    }
}

TEST(dictionary_opportunities_are_the_same_in_every_form) {
    for (const auto& texts : {random_texts(3000), dictionary_texts(3000)})
        for (const Forms& t : texts)
            t.compare([](auto text) { return lb::line_break_opportunities_with_dictionary(text); },
                      same_opportunities);
}
