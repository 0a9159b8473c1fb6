// Word boundaries over texts long enough for the fixed-width forms to pass
// over runs of letters a chunk of units at a time: runs at the edges of the
// letter ranges the scan picks per script, runs that open with marks, scripts
// taking turns so that the ranges change, and one odd unit at every position
// of a chunk. Every form is compared with the UTF-8 path.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "check.h"
#include "forms.h"
#include "segment/word.h"
#include "segment/word_scan.h"

namespace sc = scrivlet;
using sc::testing::Forms;
using sc::testing::same;
using Offsets = std::vector<std::uint64_t>;

namespace {

// The boundaries of the scan with its chunks on, whatever the text's length
// (the public entry takes them only on long texts where they pay), with
// AVX2 or without; UTF-8 has none and gives the reference.
template <bool Avx2, typename Text>
Offsets chunked_word_offsets(Text s) {
    Offsets out{0};
    const auto u = sc::segment::units(s);
    sc::segment::scan_word_steps<true, Avx2>(
        u, 0, u.size(),
        [&](std::size_t, std::uint64_t offset, bool boundary) {
            if (boundary) out.push_back(offset);
        },
        [] {});
    return out;
}

void compare_words(std::u32string text) {
    const Forms forms(std::move(text));
    forms.compare([](auto s) { return chunked_word_offsets<false>(s); }, same<Offsets, Offsets>);
    if (sc::segment::word_rules::avx2_chunks())
        forms.compare([](auto s) { return chunked_word_offsets<true>(s); }, same<Offsets, Offsets>);
}

// A letter or a mark, of which the scan's ranges and blocks are made.
bool joins(char32_t c) {
    const auto v = sc::segment::word_break_class(c);
    return v == sc::segment::WordBreak::ALetter || v == sc::segment::WordBreak::Extend;
}

// Whether a block marks x (which lies in it) as a letter or a mark.
bool marked(const sc::segment::word_rules::JoinRange& b, char32_t x) {
    return (b.bits[(x - b.first) / 8] >> (x % 8)) & 1;
}

// Letters and marks of several scripts, with the code points at both ends of
// the range each lies in and just outside it.
std::vector<std::u32string> script_pools() {
    const std::u32string seeds[] = {
        U"abcxyzABZ\u00E9\u00FF\u00C0", U"\u0E01\u0E2D\u0E32\u0E48\u0E40\u0E44\u0E31",
        U"\u0E81\u0EB2\u0EC0\u0EC8\u0E99", U"\u0430\u044F\u0410\u0301", U"\u0915\u093F\u094D\u0937",
        U"\u1000\u102C\u103A\u1031", U"\u1780\u17B6\u17D2", U"\u4E00\u6587\u9FEF", U"\uAC00\uD7A3",
        U"\u03B1\u03C9\u0386", U"\u0627\u0644\u064E", U"\u05D0\u05EA\u05F0\uFB1D\uFB2A\u05B0",
    };
    std::vector<std::u32string> pools;
    for (const std::u32string& seed : seeds) {
        std::u32string pool = seed;
        for (const char32_t c : seed) {
            const auto r = sc::segment::word_rules::join_range_of(c);
            pool += {r.first, r.last, r.first - 1, r.last + 1};
            // Where the AVX2 scan takes the whole block, its other code points
            // too (unassigned ones and digits among Lao letters).
            const auto b = sc::segment::word_rules::join_run_of(c);
            if (b.block)
                for (char32_t x = b.first; x <= b.last; ++x)
                    if (!marked(b, x)) pool += x;
        }
        pools.push_back(pool);
    }
    return pools;
}

}  // namespace

TEST(long_runs_of_letters_have_the_same_word_boundaries_in_every_form) {
    const auto pools = script_pools();
    // What may come between runs: nothing (a run of one script right after
    // another's), spaces, Mid characters and quotes (whose joins depend on
    // whether a Hebrew letter came last), digits, ignorables (a run may open
    // with them), newlines, Hebrew, kana, pictographs.
    const std::u32string between[] = {
        U"", U"' ", U"\" ", U"\"",
        U" ", U"  ", U". ", U"'", U"\u2019", U":", U",", U"1", U"3.5", U"\u00AD", U"\u200D",
        U"\u0301", U" \u0301\u0301", U"\r\n", U"\u05D0\"\u05D1", U"\u30A2\u30A4", U"_",
        U"\U0001F1EF\U0001F1F5", U"\U0001F469\u200D\U0001F4BB", U"\u2764\uFE0F", U"\U0001F3FD",
    };
    std::mt19937 rng(1231);
    for (int t = 0; t < 150; ++t) {
        // Long enough for the ranges to follow the scripts.
        std::u32string text;
        const std::size_t target = 600 + rng() % 1400;
        std::size_t script = rng() % pools.size();
        while (text.size() < target) {
            if (rng() % 8 == 0) script = rng() % pools.size();  // the ranges change
            const std::u32string& pool = pools[script];
            for (std::size_t run = rng() % 40; run > 0; --run) text += pool[rng() % pool.size()];
            text += between[rng() % std::size(between)];
        }
        // Within Latin-1 and the BMP too, so that every form takes this path.
        if (t % 3 == 0)
            for (char32_t& c : text) c = c < 0x100 ? c : U'a' + c % 26;
        else if (t % 3 == 1)
            for (char32_t& c : text) c = c < 0x10000 ? c : U'\u0E01';
        compare_words(std::move(text));
    }
}

TEST(one_odd_unit_in_a_run_of_letters_gives_the_same_boundaries_at_every_position) {
    // Marks of the letters' own range after a space open a run that joins
    // only at its first letter.
    const std::u32string odd[] = {U" ", U"\u0301", U" \u0301", U" \u0E34", U" \u0E34\u0E48",
                                  U" \u093F", U"'", U"\u00AD", U"\u200D", U"1", U"\u05D0",
                                  U"\u30A2", U"\u00E9", U"\U0001F3FD"};
    for (const char32_t letter : {U'a', U'\u0E01', U'\u0915', U'\u0430'}) {
        for (const std::u32string& o : odd) {
            // After enough letters for the ranges to settle on them, at
            // every position of a chunk and across its end.
            for (std::size_t at = 1000; at < 1140; ++at) {
                std::u32string text(1200, letter);
                text.replace(at, o.size(), o);
                compare_words(std::move(text));
            }
        }
    }
}

TEST(long_texts_whose_runs_pay_have_the_same_word_boundaries_in_every_form) {
    // Long enough for the public entry to sample them and take the chunks
    // (with AVX2 where the processor has it), one script at a time.
    const auto pools = script_pools();
    const std::u32string between[] = {U" ", U". ", U"' ", U"\u0301", U"1", U"\u05D0\"\u05D1", U"\u200D"};
    std::mt19937 rng(1232);
    for (std::size_t t = 0; t < pools.size(); ++t) {
        const std::u32string& pool = pools[t];
        std::u32string text;
        while (text.size() < 40000) {
            // Mostly the script's own first letters, now and then the ends of their ranges.
            for (std::size_t run = 4 + rng() % 12; run > 0; --run)
                text += pool[rng() % 8 ? rng() % 3 : rng() % pool.size()];
            text += between[rng() % std::size(between)];
        }
        Forms(std::move(text)).compare([](auto s) { return sc::segment::word_boundary_offsets(s); },
                                       same<Offsets, Offsets>);
    }
}

TEST(a_block_of_letters_with_its_other_code_points_inside_words_keeps_their_boundaries) {
    // Lao and Bengali, whose letters the AVX2 scan takes by their blocks: a
    // code point of the block that is neither (unassigned, a digit, a sign)
    // breaks the word it lies in.
    std::mt19937 rng(1233);
    for (const char32_t seed : {U'\u0E81', U'\u0995'}) {
        const auto b = sc::segment::word_rules::join_run_of(seed);
        CHECK(b.block);
        std::u32string letters, others;
        for (char32_t x = b.first; x <= b.last; ++x)
            (marked(b, x) ? letters : others) += x;
        std::u32string text;
        while (text.size() < 40000) {
            for (std::size_t k = 3 + rng() % 10; k > 0; --k)
                text += rng() % 40 ? letters[rng() % letters.size()] : others[rng() % others.size()];
            text += U' ';
        }
        Forms(text).compare([](auto s) { return sc::segment::word_boundary_offsets(s); }, same<Offsets, Offsets>);
        compare_words(std::move(text));
    }
}

TEST(texts_of_the_classes_the_vector_steps_know_keep_their_boundaries_with_the_steps_and_without) {
    // Letters, marks and digits of several blocks (so that the steps change
    // the blocks they read) and of the ranges of ideographs and syllables,
    // Hebrew letters with their marks and quotes, kana, spaces, Mid
    // characters, underscores, quotes and Others, and what stops the steps:
    // newlines, ZWJ, soft hyphens, Mid characters of other blocks, a mark
    // after a space, code points beyond the BMP (whose low 16 bits are a
    // quote, an underscore or a letter).
    const std::u32string pools[] = {
        U"abcxyzABZ019", U"\u0430\u044F\u0410\u0301", U"\u0915\u093F\u094D\u0937\u0966",
        U"\u0E01\u0E2D\u0E32\u0E48\u0E50", U"\u0627\u0644\u064E\u0660", U"\u03B1\u03C9\u0386\u00E9",
        U"\u4E00\u6587\u9FEF\u30A2\u3042\u30FC\u3001", U"\uAC00\uD7A3\u1100", U"\u05D0\u05D1\u05EA\u05B0\u05B4",
    };
    const std::u32string units = U" \t.,:;'\u2019\u00A0\u200B\u3000\u00AB\u2014%(-\"_\n\r\u200D\u00AD"
                                 U"\u05D0\u30A2\u0387\u060C\u066C\uFE0F\u2764\u0301"
                                 U"\U0001F600\U00010022\U00010041\U0001005F";
    std::vector<std::u32string> between;
    for (const char32_t u : units) between.push_back(std::u32string(1, u));
    // Pieces whose states the steps must not end on, or must hand on as they are.
    for (const char32_t* piece : {U"\"\u00A0", U"\" ", U"\u30A2_", U"_\u30A2", U"a.\u00A0", U"1,",
                                  U"\u05D0\u00AD\"\u05D1", U"\u05D0\u05B0\"\u05D1", U"\u05D0'", U"\u05D0\u05B0'"})
        between.push_back(piece);
    std::mt19937 rng(62);
    for (int t = 0; t < 300; ++t) {
        std::u32string text;
        const std::size_t target = 64 + rng() % 1500;
        const unsigned rate = 2 + rng() % 40;  // about one unit in rate from between, two spaces
        std::size_t script = rng() % std::size(pools);
        while (text.size() < target) {
            if (rng() % 64 == 0) script = rng() % std::size(pools);
            const unsigned r = rng() % rate;
            const std::u32string& pool = pools[script];
            if (r == 0)
                text += between[rng() % between.size()];
            else
                text += r < 3 ? U' ' : pool[rng() % pool.size()];
        }
        const Forms forms(std::move(text));
        for (const bool vector : {true, false}) {
            sc::segment::word_rules::allow_vector_word_steps(vector);
            forms.compare([](auto s) { return sc::segment::word_boundary_offsets(s); }, same<Offsets, Offsets>);
        }
        sc::segment::word_rules::allow_vector_word_steps(true);
    }
}

TEST(hebrew_and_other_letters_side_by_side_keep_the_state_of_the_last) {
    // A Hebrew letter joins a following quote (WB7a, WB7b), another letter
    // does not: a run of one kind right after the other must not be passed
    // over as the inside of the first.
    const std::u32string pieces[] = {
        U"\u05D0\u05D1\u05D2abc' ", U"abc\u05D0\u05D1\u05D2' ", U"abcd\u05D0\u05D1\u05D2\"\u05D3 ",
        U"\u05D0\u05D1\u0301\u0302ab' ", U"\u05D0\u05D1\u05D2\u05D3 abc ",
    };
    for (const std::u32string& piece : pieces) {
        for (std::size_t shift = 0; shift < 64; ++shift) {
            std::u32string text(shift, U'x');
            while (text.size() < 1200) text += piece;
            compare_words(std::move(text));
        }
    }
}

TEST(letter_ranges_hold_letters_and_marks_only_and_are_the_widest) {
    std::size_t ranges = 0;
    for (char32_t c = 0; c < 0x10000; ++c) {
        if (!joins(c)) continue;
        const auto r = sc::segment::word_rules::join_range_of(c);
        CHECK(r.first <= c && c <= r.last);
        // Ends where joining ends, on either side.
        CHECK(joins(c + 1) ? r.last > c : r.last == c);
        CHECK(c == 0 || (joins(c - 1) ? r.first < c : r.first == c));
        ranges += c == r.first;
    }
    CHECK(ranges > 100);  // the scripts' letters and marks lie in many ranges
}

TEST(letter_blocks_mark_exactly_their_letters_and_marks_and_only_where_ranges_fail) {
    std::size_t blocks = 0;
    for (char32_t c = 0; c < 0x10000; ++c) {
        if (!joins(c)) continue;
        const auto b = sc::segment::word_rules::join_run_of(c);
        CHECK(b.first <= c && c <= b.last);
        if (!b.block) continue;
        CHECK(b.first % 0x80 == 0 && b.last == b.first + 0x7F && b.first >= 0x100);
        for (char32_t x = b.first; x <= b.last; ++x)
            CHECK(marked(b, x) == joins(x));
        blocks += c == b.first || !joins(c - 1);
    }
    CHECK(blocks > 0);
    CHECK(sc::segment::word_rules::join_run_of(U'\u0E81').block);  // Lao
    CHECK(!sc::segment::word_rules::join_run_of(U'\u0E01').block);  // Thai: its ranges hold it
    CHECK(!sc::segment::word_rules::join_run_of(U'a').block);
}

TEST(the_chunks_are_taken_on_long_texts_whose_runs_of_letters_pay_only) {
    const auto pays = [](const std::u32string& piece, std::size_t n,
                         unsigned share = sc::segment::word_rules::SKIP_SHARE_64) {
        std::u16string text;
        while (text.size() < n)
            for (const char32_t c : piece) text += static_cast<char16_t>(c);
        sc::segment::word_rules::RunRanges runs;
        return sc::segment::word_rules::chunks_pay(sc::segment::units(sc::text::Ucs2{text.data(), text.size()}),
                                                   0, text.size(), runs, share);
    };
    const std::u32string thai = U"\u0E01\u0E32\u0E23\u0E40\u0E21\u0E37\u0E2D\u0E07 ";
    CHECK(pays(thai, 1 << 16));
    CHECK(!pays(thai, 1 << 10));                         // too short to sample
    CHECK(pays(U"\u05D0\u05D1\u05D2\u05D3\u05D4\u05D5\u05D6\u05D7 ", 1 << 16));  // Hebrew letters make runs
    CHECK(!pays(U"\u05D0\u05D1\u05D2 \u05D3 ", 1 << 16));  // too few units inside them
    CHECK(!pays(U"abcdef ", 1 << 16));                  // 5 of 7 passed over: the plain steps are faster
    CHECK(pays(U"abcdef ", 1 << 16, sc::segment::word_rules::SKIP_SHARE_64_AVX2));  // but not the AVX2 chunks
    CHECK(!pays(U"\u30A2\u30A4\u30C6", 1 << 16));       // kana are not letters of a range
}

TEST(four_byte_units_above_the_first_two_planes_give_the_same_boundaries_in_every_stretch) {
    // Stretches of 4-byte units below U+20000 take a one-load lookup, the
    // others the lookup of any code point: a few code points past U+1FFFF
    // (ideographs, variation selectors, which are Extend, tags, the last
    // code point) among letters, marks and emoji, at random places.
    const std::u32string high = U"\U00020000\U0002A6DF\U000E0100\U000E01EF\U000E0020\U000E007F\U0010FFFF";
    const std::u32string low = U"ab \u0301.'1\u0E01\u0E48\U0001F469\u200D\U0001F4BB\U0001F1EF\U0001F1F5\U0001F3FD,";
    std::mt19937 rng(1233);
    for (int t = 0; t < 60; ++t) {
        std::u32string text;
        for (std::size_t n = 300 + rng() % 900; text.size() < n;)
            text += rng() % 64 == 0 ? high[rng() % high.size()] : low[rng() % low.size()];
        compare_words(text);
        Forms(std::move(text)).compare([](auto s) { return sc::segment::word_boundary_offsets(s); },
                                       same<Offsets, Offsets>);
    }
}

TEST(the_table_of_the_first_two_planes_holds_each_code_points_entry) {
    namespace wd = sc::segment::word_data;
    const auto bmp = wd::pack_bmp_table(wd::build_bmp_table());
    const auto pictographs = wd::build_packed_supplementary_block(0x1F000);
    const auto other = wd::build_packed_supplementary_block(0x10000);
    std::size_t wrong = 0;
    for (char32_t cp = 0; cp < 0x20000; ++cp) {
        const unsigned expected = cp < 0x10000 ? bmp[cp] : (cp >> 12 == 0x1F ? pictographs : other)[cp & 0xFFF];
        wrong += wd::WORD_BREAK_PACKED_PLANES[cp] != expected || sc::segment::packed_word_break(cp) != expected;
    }
    CHECK(wrong == 0);
}
