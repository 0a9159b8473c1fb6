// Sentence boundaries from the fixed-width forms against the UTF-8 path, with
// the AVX2 scan and without it: every code point next to one that ends a run
// of ordinary text, at every position of a block, among letters of many
// scripts, so that the scans learn, drop and learn again the gaps between
// such code points.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "check.h"
#include "forms.h"
#include "segment/sentence.h"
#include "segment/sentence_break.h"

namespace sc = scrivlet;
using sc::segment::SentenceBreak;
using sc::testing::Forms;
using sc::testing::same;
using Offsets = std::vector<std::uint64_t>;

namespace {

bool ends_run(char32_t c) {
    const SentenceBreak b = sc::segment::sentence_break(c);
    return b == SentenceBreak::CR || b == SentenceBreak::LF || b == SentenceBreak::Sep ||
           b == SentenceBreak::ATerm || b == SentenceBreak::STerm;
}

// Every code point that ends a run, its neighbours, and the edges of the
// UTF-8 lengths and of the 16-bit units.
std::vector<char32_t> edges() {
    std::vector<char32_t> out = {0x00,   0x7F,   0x80,    0xFF,    0x100,    0x7FF,   0x800,
                                 0xFFFF, 0x10000, 0x1F600, 0x1F3FB, 0xE0100, 0x10FFFF};
    for (char32_t c = 1; c < 0xFFFF; ++c)
        if (ends_run(c)) out.insert(out.end(), {c - 1, c, c + 1});
    return out;
}

// Letters, spaces and punctuation of nine gaps between such code points.
const std::u32string MIXED = U"a \u00E9\u05D0\u0915\u0E01\u10D0\u2019\u4E00\uAC00b,\U0001F600\u0301";
const std::u32string LATIN1 = U"a b\u00E9,\u00A0'";
// And of eleven gaps more: more than the AVX2 scan keeps at once.
const std::u32string MANY = MIXED + U"\u0628\u0710\u1200\u1780\u1820\u1B05\u1C5A\u2050\uA500\uA641\uA882";

void compare_both_ways(const std::u32string& text) {
    const Forms forms(text);
    for (const bool avx2 : {true, false}) {
        sc::segment::allow_avx2_sentence_scan(avx2);
        forms.compare([](auto s) { return sc::segment::sentence_boundaries(s); }, same<Offsets, Offsets>);
    }
    sc::segment::allow_avx2_sentence_scan(true);
}

}  // namespace

TEST(sentence_scan_agrees_with_the_utf8_path_next_to_every_run_end) {
    // Over four blocks of sixteen units; Latin-1 over one of 32, one of
    // sixteen and the units after them.
    for (const char32_t e : edges()) {
        const std::u32string& filler = e < 0x100 ? LATIN1 : MIXED;
        const std::size_t length = e < 0x100 ? 55 : 70;
        for (std::size_t at = 0; at < length; at += e < 0x100 ? 1 : 3) {
            std::u32string text;
            for (std::size_t k = 0; k < length; ++k) text += filler[(k * 7 + at) % filler.size()];
            text[at] = e;
            compare_both_ways(text);
        }
    }
}

TEST(sentence_scan_agrees_with_the_utf8_path_on_random_runs) {
    // Long runs mixing many gaps, with a few terminators and their neighbours.
    const std::vector<char32_t> near = edges();
    std::mt19937 rng(1210);
    for (int t = 0; t < 1500; ++t) {
        std::u32string text;
        const std::size_t length = rng() % 300;
        for (std::size_t k = 0; k < length; ++k)
            text += rng() % 40 ? MANY[rng() % MANY.size()] : near[rng() % near.size()];
        compare_both_ways(text);
    }
}

TEST(sentence_scan_agrees_with_the_utf8_path_where_it_forgets_its_gaps) {
    // Stretches of one script between stretches of many, over 200,000 units,
    // with a terminator now and then: the scan forgets its gaps every 65,536
    // units it passes, wherever in a run that falls.
    std::mt19937 rng(1212);
    std::u32string text;
    while (text.size() < 200000) {
        const bool many = rng() % 2;
        for (std::size_t k = rng() % 30000; k > 0; --k)
            text += rng() % 3000 == 0 ? U'.' : many ? MANY[rng() % MANY.size()] : U'\u4E00';
    }
    compare_both_ways(text);
}

TEST(sentence_look_ahead_agrees_with_the_utf8_path_over_caseless_words) {
    // After a full stop the look-ahead passes over caseless letters, marks and
    // zero width spaces of several blocks until a letter or terminator; the
    // code points on either side of each edge between what ends it and what
    // does not come in now and then.
    const auto ends = [](char32_t c) {
        const SentenceBreak b = sc::segment::sentence_break(c);
        return ends_run(c) || b == SentenceBreak::Lower || b == SentenceBreak::Upper || b == SentenceBreak::OLetter;
    };
    std::vector<char32_t> edges;
    for (char32_t c = 0x81; c < 0xFFFF; ++c)
        if (ends(c) != ends(c - 1)) edges.insert(edges.end(), {c - 1, c});
    const std::u32string words = U"\u0E81\u0EB2\u200B\u1780\u17B6\u200B\u10D0\u1000\u102C\u0F40\u00A0\u0301 ,1";
    const std::u32string deciders = U".!?aB\u0E01\u4E00\n";
    std::mt19937 rng(1211);
    for (int t = 0; t < 1000; ++t) {
        std::u32string text;
        const std::size_t length = rng() % 400;
        for (std::size_t k = 0; k < length; ++k) {
            const unsigned r = rng() % 100;
            text += r < 2 ? deciders[rng() % deciders.size()]
                  : r < 5 ? edges[rng() % edges.size()]
                          : words[rng() % words.size()];
        }
        compare_both_ways(text);
    }
}
