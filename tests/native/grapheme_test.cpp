// Cluster starts decided locally, from the code points just before a
// position, and by the scan of the whole text, against each other and
// against the rules.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "check.h"
#include "segment/cluster_walk.h"
#include "segment/grapheme.h"
#include "utf8.h"

namespace sg = scrivlet::segment;

TEST(local_cluster_starts_agree_with_the_scan) {
    // Every class, with the ones whose pairs depend on the scan state
    // (ZWJ, Linker, Consonant, ExtPict, regional indicators) over-represented.
    const char32_t pool[] = {
        U'a',     U'\r',    U'\n',    0x0007,   0x0301,   0x200D,   0x1F1E6,  0x0600,
        0x0903,   0x1100,   0x1161,   0x11A8,   0xAC00,   0xAC01,   0x1F600,  0x0915,
        0x094D,   0x1039,   0x1000,   0x17D2,   0x1780,   0x1B44,   0x1B13,   0x0E31,
        0x0E01,   0x200C,   0x1F3FB,  0x2640,
    };
    std::mt19937 rng(7);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pool) - 1);
    std::uniform_int_distribution<int> size(1, 12);
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        for (int i = size(rng); i > 0; --i) scrivlet::utf8::append(text, pool[pick(rng)]);
        std::vector<std::uint8_t> starts(text.size(), 0);
        sg::mark_cluster_starts(text, starts.data());
        for (std::size_t p = 1; p < text.size(); ++p) {
            if (scrivlet::utf8::is_continuation(static_cast<unsigned char>(text[p]))) continue;
            auto local = sg::local_cluster_start(text, p);
            if (local) CHECK_EQ(*local, starts[p] != 0);
        }
    }
}

TEST(only_regional_indicator_pairs_need_the_whole_run) {
    const std::string flags = "\xF0\x9F\x87\xA6\xF0\x9F\x87\xA6\xF0\x9F\x87\xA6";  // three RIs
    CHECK(!sg::local_cluster_start(flags, 4).has_value());
    CHECK(!sg::local_cluster_start(flags, 8).has_value());
    CHECK_EQ(sg::local_cluster_start("a\xF0\x9F\x87\xA6", 1).value(), true);
}

// The scan, which decides each code point from a table of class triples,
// against the rules applied with the whole scan state: the class before the
// previous code point in its cluster, the run of regional indicators and the
// previous code point, kept as the rules read them.
namespace sw = scrivlet::segment::walk;
using sw::G;

namespace {

// Cluster starts by joins() over the full scan state, code point by code point.
std::vector<bool> rule_starts(const std::u32string& cps) {
    std::vector<bool> out;
    G prev = sw::NONE, before = sw::NONE;
    unsigned ri_run = 0;
    char32_t prev_cp = 0;
    for (char32_t cp : cps) {
        const G cur = sw::class_of(cp);
        const bool start = prev == sw::NONE || !sw::joins(before, prev, cur, ri_run, prev_cp);
        before = start ? sw::NONE : prev;
        ri_run = cur != G::RI ? 0 : !start && prev == G::RI ? ri_run + 1 : 1;
        prev = cur;
        prev_cp = cp;
        out.push_back(start);
    }
    return out;
}

}  // namespace

TEST(grapheme_scan_agrees_with_the_rules_over_the_whole_state) {
    // Long runs of regional indicators, ZWJ sequences, conjuncts with every
    // Linker kind and the adeg adeg, after every class.
    const char32_t pool[] = {
        U'a', U'\r', U'\n', 0x0007, 0x0301, 0x200D, 0x1F1E6, 0x1F1E7, 0x1F1E8, 0x0600, 0x0903,
        0x1100, 0x1161, 0x11A8, 0xAC00, 0xAC01, 0x1F600, 0x2640, 0x1F3FB, 0x0915, 0x094D, 0x09CD,
        0x0995, 0x1039, 0x1000, 0x17D2, 0x1780, 0x1B44, 0x1B13, 0x1B05, 0x0E31, 0x0E01, 0x200C,
    };
    std::mt19937 rng(1207);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pool) - 1);
    std::uniform_int_distribution<int> size(1, 40), runs(0, 3);
    for (int round = 0; round < 20000; ++round) {
        std::u32string cps;
        for (int i = size(rng); i > 0; --i) {
            const char32_t c = pool[pick(rng)];
            // Regional indicators in runs of any length.
            for (int k = c >= 0x1F1E6 && c <= 0x1F1E8 ? runs(rng) : 0; k >= 0; --k) cps.push_back(c);
        }
        std::string utf8;
        for (char32_t c : cps) scrivlet::utf8::append(utf8, c);
        std::vector<std::uint8_t> marks(utf8.size(), 0);
        scrivlet::segment::mark_cluster_starts(utf8, marks.data());
        const std::vector<bool> expected = rule_starts(cps);
        std::size_t pos = 0;
        for (std::size_t i = 0; i < cps.size(); ++i) {
            CHECK_EQ(marks[pos] != 0, expected[i]);
            pos += scrivlet::utf8::sequence_length(static_cast<unsigned char>(utf8[pos]));
        }
    }
}
