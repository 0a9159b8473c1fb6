// Every core operation called from several threads at once, with no interpreter
// lock around them, gives the single-threaded results, the four dictionaries
// included. Run under ThreadSanitizer in CI.
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "bidi/mod.h"
#include "casemap/mod.h"
#include "check.h"
#include "cursor/mod.h"
#include "linebreak/mod.h"
#include "normalize/mod.h"
#include "segment/grapheme.h"
#include "segment/sentence.h"
#include "segment/word.h"
#include "truncate/mod.h"

using namespace scrivlet;

namespace {

const std::vector<std::string> TEXTS = {
    "Hello, world! Grüße e\xCC\x81 東京. \xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9 (1,234.5)",
    "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D 123 \xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7 \xE2\x81\xA8x\xE2\x81\xA9",
    "\xE0\xB8\xA0\xE0\xB8\xB2\xE0\xB8\xA9\xE0\xB8\xB2\xE0\xB9\x84\xE0\xB8\x97\xE0\xB8\xA2",  // Thai
    "\xE0\xBA\xA5\xE0\xBA\xB2\xE0\xBA\xA7",                                                // Lao
    "\xE1\x9E\x81\xE1\x9F\x92\xE1\x9E\x98\xE1\x9F\x82\xE1\x9E\x9A",                        // Khmer
    "\xE1\x80\x99\xE1\x80\xBC\xE1\x80\x94\xE1\x80\xBA\xE1\x80\x99\xE1\x80\xAC",            // Myanmar
    "\xCE\xA3\xCE\x91\xCE\xA3 \xC4\xB0stanbul \xC3\x9F",
};

// Everything every operation returns for a text, flattened into one string.
std::string all_results(const std::string& text) {
    std::string out;
    auto add_offsets = [&out](const std::vector<std::uint64_t>& v) {
        for (auto x : v) out += std::to_string(x) + ",";
        out += "|";
    };
    add_offsets(segment::grapheme_cluster_starts(text));
    add_offsets(segment::word_boundary_offsets(text));
    add_offsets(segment::sentence_boundaries(text));
    for (const auto& ops : {linebreak::line_break_opportunities(text),
                            linebreak::line_break_opportunities_with_dictionary(text)}) {
        for (const auto& [offset, action] : ops) out += std::to_string(offset) + ":" + std::to_string(int(action)) + ",";
        out += "|";
    }
    for (const auto& s : {normalize::normalize_nfc(text), normalize::normalize_nfd(text),
                          normalize::normalize_nfkc(text), normalize::normalize_nfkd(text),
                          casemap::to_lowercase(text, "tr"), casemap::to_uppercase(text, std::nullopt),
                          casemap::to_titlecase(text), casemap::case_fold(text), casemap::case_fold_simple(text)})
        out += s + "|";
    const auto bidi = bidi::resolve_bidi(text);
    out += std::to_string(bidi.paragraph_level) + std::string(bidi.levels.begin(), bidi.levels.end()) + "|";
    for (auto i : bidi.visual_order) out += std::to_string(i) + ",";
    out += std::to_string(truncate::text_width(text)) + "|";
    out += std::string(truncate::truncate_to_clusters(text, 3)) + "|" + std::string(truncate::truncate_to_width(text, 5)) + "|";
    for (std::uint64_t c = 0; c <= text.size() + 1; c += 3) {
        const auto [a, b] = cursor::word_at(text, c);
        out += std::to_string(cursor::cursor_left(text, c)) + std::to_string(cursor::cursor_right(text, c)) +
               std::to_string(cursor::move_left_visual(text, c)) + std::to_string(cursor::move_right_visual(text, c)) +
               std::to_string(a) + std::to_string(b) + ",";
    }
    return out;
}

}  // namespace

TEST(every_operation_agrees_across_threads) {
    constexpr int THREADS = 8;
    std::latch start(THREADS);
    std::vector<std::vector<std::string>> results(THREADS);
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t) {
        threads.emplace_back([&, t] {
            start.arrive_and_wait();
            for (int round = 0; round < 3; ++round)
                for (std::size_t i = 0; i < TEXTS.size(); ++i)
                    results[t].push_back(all_results(TEXTS[(i + t) % TEXTS.size()]));
        });
    }
    for (auto& th : threads) th.join();
    std::vector<std::string> expected;
    for (const auto& text : TEXTS) expected.push_back(all_results(text));
    for (int t = 0; t < THREADS; ++t)
        for (std::size_t k = 0; k < results[t].size(); ++k)
            CHECK(results[t][k] == expected[(k % TEXTS.size() + t) % TEXTS.size()]);
}
