// Cluster starts from the fixed-width forms, which have a scan of their own,
// against the UTF-8 path: texts long enough to cross its blocks of code points
// and the batches of offsets handed on, with every class the table leaves
// open (runs of regional indicators, Linkers and the adeg adeg) and code
// points beyond plane 1.

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "forms.h"
#include "segment/grapheme.h"

using scrivlet::testing::Forms;
using scrivlet::testing::same;

namespace {

using Offsets = std::vector<std::uint64_t>;

// Texts of every length up to a few blocks, then a few long ones; within the
// BMP one time in two, so that both fixed-width scans run.
std::vector<Forms> long_texts() {
    static const char32_t pool[] = {
        U'a', U' ', U'\r', U'\n', 0x0007, 0x00E9, 0x0301, 0x200D, 0x200C, 0x1F1E6, 0x1F1E7,
        0x0600, 0x0903, 0x0915, 0x094D, 0x09CD, 0x0995, 0x1039, 0x1000, 0x17D2, 0x1780, 0x1B44,
        0x1B13, 0x0E31, 0x0E01, 0x1100, 0x1161, 0x11A8, 0xAC00, 0x4E00, 0xFE0F, 0x2640, 0x1F600,
        0x1F3FB, 0x1F468, 0xE0061, 0xE007F, 0x20000, 0x10FFFD,
    };
    std::mt19937 rng(20261209);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pool) - 1);
    std::uniform_int_distribution<int> run(0, 5);
    std::vector<std::size_t> lengths;
    for (std::size_t n = 0; n <= 260; ++n) lengths.push_back(n);
    for (std::size_t n : {511, 512, 513, 1000, 3000, 9000}) lengths.push_back(n);
    std::vector<Forms> out;
    for (std::size_t t = 0; t < lengths.size(); ++t) {
        const bool bmp = t % 2 == 0;
        std::u32string cps;
        while (cps.size() < lengths[t]) {
            const char32_t c = pool[pick(rng)];
            if (bmp && c >= 0x10000) continue;
            // Regional indicators in runs of any length.
            for (int k = c >= 0x1F1E6 && c <= 0x1F1E7 ? run(rng) : 0; k >= 0 && cps.size() < lengths[t]; --k)
                cps.push_back(c);
        }
        out.emplace_back(std::move(cps));
    }
    return out;
}

}  // namespace

TEST(cluster_starts_of_long_texts_are_the_same_in_every_form) {
    for (const Forms& t : long_texts())
        t.compare([](auto text) { return scrivlet::segment::grapheme_cluster_starts(text); },
                  same<Offsets, Offsets>);
}
