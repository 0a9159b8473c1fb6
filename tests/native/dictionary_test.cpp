// Word dictionaries: embedding, lazy one-time loading, membership and the
// longest-match scan.

#include <algorithm>
#include <cstdint>
#include <latch>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <unordered_set>
#include <vector>

#include "check.h"
#include "linebreak/dictionary.h"
#include "linebreak/mod.h"

using scrivlet::linebreak::DictionaryLanguage;
namespace lb = scrivlet::linebreak;

namespace {

constexpr DictionaryLanguage ALL[] = {DictionaryLanguage::Thai, DictionaryLanguage::Lao,
                                      DictionaryLanguage::Khmer, DictionaryLanguage::Myanmar};

std::vector<std::string_view> lines_of(std::string_view list) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t lf = list.find('\n', start);
        if (lf == std::string_view::npos) lf = list.size();
        out.push_back(list.substr(start, lf - start));
        start = lf + 1;
    }
    return out;
}

bool is_continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The longest match by its plain definition: every boundary length from the
// longest word down to one byte, the first member wins.
std::size_t longest_by_descent(const lb::WordDictionary& dict, std::string_view text) {
    std::size_t top = std::min<std::size_t>(dict.max_word_bytes(), text.size());
    for (std::size_t len = top; len >= 1; --len) {
        if (len < text.size() && is_continuation(text[len])) continue;
        if (dict.contains(text.substr(0, len))) return len;
    }
    return 0;
}

}  // namespace

TEST(embedded_lists_lie_back_to_back_khmer_myanmar_lao_thai) {
    auto khmer = lb::embedded_word_list(DictionaryLanguage::Khmer);
    auto myanmar = lb::embedded_word_list(DictionaryLanguage::Myanmar);
    auto lao = lb::embedded_word_list(DictionaryLanguage::Lao);
    auto thai = lb::embedded_word_list(DictionaryLanguage::Thai);
    CHECK_EQ(khmer.size(), 2030881u);
    CHECK_EQ(myanmar.size(), 1161335u);
    CHECK_EQ(lao.size(), 671506u);
    CHECK_EQ(thai.size(), 492454u);
    CHECK(khmer.data() + khmer.size() == myanmar.data());
    CHECK(myanmar.data() + myanmar.size() == lao.data());
    CHECK(lao.data() + lao.size() == thai.data());
    for (auto list : {khmer, myanmar, lao, thai}) CHECK(list.back() == '\n');
    // "ក" opens the Khmer list, "ກ" the Lao list.
    CHECK(khmer.substr(0, 3) == "\xE1\x9E\x80");
    CHECK(lao.substr(0, 3) == "\xE0\xBA\x81");
}

TEST(segmenting_only_khmer_loads_only_the_khmer_list) {
    for (auto lang : ALL) CHECK_EQ(lb::dictionary_load_count(lang), 0u);
    auto words = lines_of(lb::embedded_word_list(DictionaryLanguage::Khmer));
    // Khmer words between Latin, digits and a line feed: only Khmer is SA here.
    std::string text = "see " + std::string(words[100]) + std::string(words[5000]) + " 42\n" +
                       std::string(words[777]);
    auto first = lb::line_break_opportunities_with_dictionary(text);
    CHECK_EQ(lb::dictionary_load_count(DictionaryLanguage::Khmer), 1u);
    auto second = lb::line_break_opportunities_with_dictionary(text);
    CHECK(first == second);
    // The break between the two words is the dictionary's (the pair rules have none).
    auto between = std::pair<std::uint64_t, lb::BreakAction>(4 + words[100].size(),
                                                             lb::BreakAction::Allowed);
    CHECK(std::find(first.begin(), first.end(), between) != first.end());
    CHECK(std::find(second.begin(), second.end(), between) != second.end());
    CHECK(lb::segment_run(text.substr(4, words[100].size() + words[5000].size()),
                          DictionaryLanguage::Khmer) ==
          std::vector<std::uint64_t>{words[100].size()});
    CHECK_EQ(lb::dictionary_load_count(DictionaryLanguage::Khmer), 1u);
    CHECK_EQ(lb::dictionary_load_count(DictionaryLanguage::Thai), 0u);
    CHECK_EQ(lb::dictionary_load_count(DictionaryLanguage::Lao), 0u);
    CHECK_EQ(lb::dictionary_load_count(DictionaryLanguage::Myanmar), 0u);
}

TEST(concurrent_first_use_builds_the_dictionary_once) {
    constexpr int THREADS = 8;
    auto words = lines_of(lb::embedded_word_list(DictionaryLanguage::Myanmar));
    std::latch start(THREADS);
    std::vector<const lb::WordDictionary*> seen(THREADS);
    std::vector<int> complete(THREADS);
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t) {
        threads.emplace_back([&, t] {
            start.arrive_and_wait();
            const auto& dict = lb::dictionary_for(DictionaryLanguage::Myanmar);
            seen[t] = &dict;
            // Whoever returns sees the finished set, not a partial one.
            complete[t] = dict.contains(words.front()) && dict.contains(words.back()) &&
                          dict.word_count() == words.size();
        });
    }
    for (auto& th : threads) th.join();
    CHECK_EQ(lb::dictionary_load_count(DictionaryLanguage::Myanmar), 1u);
    for (int t = 0; t < THREADS; ++t) {
        CHECK(seen[t] == seen[0]);
        CHECK(complete[t]);
    }
}

TEST(max_word_bytes_equals_the_longest_listed_word) {
    const std::uint64_t expected[] = {60, 96, 57, 99};
    const std::size_t counts[] = {26383, 30550, 81028, 41120};
    for (std::size_t i = 0; i < 4; ++i) {
        auto words = lines_of(lb::embedded_word_list(ALL[i]));
        std::size_t longest = 0;
        for (auto w : words) longest = std::max(longest, w.size());
        const auto& dict = lb::dictionary_for(ALL[i]);
        CHECK_EQ(dict.max_word_bytes(), longest);
        CHECK_EQ(dict.max_word_bytes(), expected[i]);
        CHECK_EQ(dict.word_count(), counts[i]);
    }
}

TEST(any_other_language_value_selects_thai) {
    const auto& other = lb::dictionary_for(static_cast<DictionaryLanguage>(7));
    CHECK(&other == &lb::dictionary_for(DictionaryLanguage::Thai));
    CHECK_EQ(lb::dictionary_load_count(DictionaryLanguage::Thai), 1u);
    CHECK(lb::embedded_word_list(static_cast<DictionaryLanguage>(200)) ==
          lb::embedded_word_list(DictionaryLanguage::Thai));
}

TEST(every_listed_word_is_a_member_and_its_unlisted_prefixes_are_not) {
    for (auto lang : ALL) {
        auto words = lines_of(lb::embedded_word_list(lang));
        std::unordered_set<std::string_view> listed(words.begin(), words.end());
        const auto& dict = lb::dictionary_for(lang);
        for (auto w : words) {
            CHECK(dict.contains(w));
            for (std::size_t k = 1; k < w.size(); ++k) {
                if (is_continuation(w[k])) continue;
                auto prefix = w.substr(0, k);
                CHECK_EQ(dict.contains(prefix), listed.count(prefix) == 1);
            }
        }
        CHECK(!dict.contains(""));
        CHECK(!dict.contains(std::string(words.front()) + "x"));
        CHECK(!dict.contains("hello"));
    }
}

TEST(longest_match_scan_agrees_with_trying_every_length_downwards) {
    // Texts made of listed words cut at random places, glued together: many
    // positions have several matching lengths, and some have none.
    std::mt19937 rng(12345);
    for (auto lang : ALL) {
        auto words = lines_of(lb::embedded_word_list(lang));
        const auto& dict = lb::dictionary_for(lang);
        std::string text;
        for (int i = 0; i < 3000; ++i) {
            auto w = words[rng() % words.size()];
            std::size_t cut = w.size();
            if (rng() % 3 == 0) {
                cut = rng() % w.size() + 1;
                while (cut < w.size() && is_continuation(w[cut])) ++cut;
            }
            text += w.substr(0, cut);
        }
        std::size_t hits = 0;
        for (std::size_t pos = 0; pos < text.size(); ++pos) {
            if (is_continuation(text[pos])) continue;
            std::string_view rest(text.data() + pos, text.size() - pos);
            std::size_t got = dict.longest_word_at(rest);
            CHECK_EQ(got, longest_by_descent(dict, rest));
            hits += got > 0;
        }
        CHECK(hits > 1000);
    }
}

TEST(loader_strips_carriage_returns_white_space_and_blank_lines) {
    // CRLF, leading tab, trailing NBSP and ideographic space, a blank and a
    // white-space-only line, a duplicate, a final line without a line feed.
    std::string list =
        "abc\r\n\tdef\n\n  \r\nxyz\xC2\xA0\xE3\x80\x80\nabc\nlongest-word\nqr";
    lb::WordDictionary dict(list);
    CHECK_EQ(dict.word_count(), 5u);
    CHECK_EQ(dict.max_word_bytes(), 12u);
    for (const char* w : {"abc", "def", "xyz", "longest-word", "qr"}) CHECK(dict.contains(w));
    for (const char* w : {"abc\r", "\tdef", "xyz\xC2\xA0", "ab", "q", "", " "})
        CHECK(!dict.contains(w));
}

TEST(empty_list_has_no_words_and_matches_nothing) {
    for (const char* list : {"", "\n\n", " \r\n\t\n"}) {
        lb::WordDictionary dict{std::string_view(list)};
        CHECK_EQ(dict.word_count(), 0u);
        CHECK_EQ(dict.max_word_bytes(), 0u);
        CHECK(!dict.contains("a"));
        CHECK_EQ(dict.longest_word_at("abc"), 0u);
    }
}

TEST(longest_match_only_ends_on_code_point_boundaries) {
    // "é" is C3 A9, "è" C3 A8; the list holds "a" followed by a lone lead byte.
    std::string list = "a\na\xC3\naé\nb\n";
    lb::WordDictionary dict(list);
    CHECK(dict.contains("a\xC3"));
    CHECK_EQ(dict.longest_word_at("aéb"), 3u);
    CHECK_EQ(dict.longest_word_at("a\xC3\xA8"), 1u);  // "aè": "a\xC3" ends inside è
    CHECK_EQ(dict.longest_word_at("b"), 1u);
    CHECK_EQ(dict.longest_word_at("c"), 0u);
}

TEST(segment_run_cuts_unknown_text_after_every_code_point) {
    // Thai digits are not words: ๑๒๓ (three 3-byte code points).
    auto cuts = lb::segment_run("\xE0\xB9\x91\xE0\xB9\x92\xE0\xB9\x93", DictionaryLanguage::Thai);
    CHECK((cuts == std::vector<std::uint64_t>{3, 6}));
    CHECK(lb::segment_run("", DictionaryLanguage::Thai).empty());
}

TEST(segment_run_takes_the_longest_listed_word) {
    auto words = lines_of(lb::embedded_word_list(DictionaryLanguage::Lao));
    std::unordered_set<std::string_view> listed(words.begin(), words.end());
    // A listed word w that has a listed proper prefix, followed by a listed word.
    for (auto w : words) {
        std::size_t prefix = 0;
        for (std::size_t k = 1; k < w.size(); ++k)
            if (!is_continuation(w[k]) && listed.count(w.substr(0, k))) prefix = k;
        if (prefix == 0) continue;
        const auto& dict = lb::dictionary_for(DictionaryLanguage::Lao);
        std::string text(w);
        auto at = dict.longest_word_at(text);
        CHECK_EQ(at, w.size());
        auto cuts = lb::segment_run(text, DictionaryLanguage::Lao);
        CHECK(cuts.empty());
        return;
    }
    CHECK(!"no listed Lao word with a listed prefix");
}

TEST(script_of_covers_exactly_the_four_listed_scripts) {
    using L = DictionaryLanguage;
    const std::pair<char32_t, std::optional<L>> cases[] = {
        {0x0E00, std::nullopt}, {0x0E01, L::Thai},     {0x0E3A, L::Thai},
        {0x0E3B, std::nullopt}, {0x0E3F, std::nullopt}, {0x0E40, L::Thai},
        {0x0E4E, L::Thai},      {0x0E4F, std::nullopt}, {0x0E50, L::Thai},
        {0x0E5B, L::Thai},      {0x0E5C, std::nullopt}, {0x0E80, std::nullopt},
        {0x0E81, L::Lao},       {0x0EDF, L::Lao},       {0x0EE0, std::nullopt},
        {0x0FFF, std::nullopt}, {0x1000, L::Myanmar},   {0x109F, L::Myanmar},
        {0x10A0, std::nullopt}, {0xA9E0, std::nullopt}, {0xAA5F, std::nullopt},
        {0xAA60, L::Myanmar},   {0xAA7F, L::Myanmar},   {0xAA80, std::nullopt},
        {0x177F, std::nullopt}, {0x1780, L::Khmer},     {0x17FF, L::Khmer},
        {0x19DF, std::nullopt}, {0x19E0, L::Khmer},     {0x19FF, L::Khmer},
        {0x1A20, std::nullopt}, {0x11700, std::nullopt},
    };
    for (const auto& [cp, lang] : cases) {
        auto got = lb::script_of(cp);
        CHECK(got == lang);
    }
}
