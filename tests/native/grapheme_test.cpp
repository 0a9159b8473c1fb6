// Cluster starts decided locally, from the code points just before a
// position, agree with the scan of the whole text.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "check.h"
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
