// Word dictionaries: the compiled automata hold exactly the listed words, need
// no heap, and their longest-match scan agrees with the plain definition.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <new>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "check.h"
#include "linebreak/dictionary.h"
#include "linebreak/mod.h"
#include "utf8.h"

using scrivlet::linebreak::DictionaryLanguage;
namespace lb = scrivlet::linebreak;

// Every allocation of this test binary is counted.
namespace {
std::atomic<std::size_t> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

constexpr DictionaryLanguage ALL[] = {DictionaryLanguage::Thai, DictionaryLanguage::Lao,
                                      DictionaryLanguage::Khmer, DictionaryLanguage::Myanmar};
constexpr const char* FILES[] = {"thai.txt", "lao.txt", "khmer.txt", "myanmar.txt"};

// The lines of a list file in the source tree (the lists are clean: one word
// per line, each ended by a line feed, no duplicates).
std::vector<std::string> listed_words(DictionaryLanguage lang) {
    std::ifstream in(std::string(SCRIVLET_WORDLIST_DIR) + "/" + FILES[static_cast<int>(lang)],
                     std::ios::binary);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) out.push_back(line);
    return out;
}

bool is_continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Every string the automaton accepts, read by walking it over its alphabet.
void accepted(const lb::WordDictionary& dict, lb::WordDictionary::State state,
              const std::vector<char32_t>& alphabet, std::string& prefix,
              std::vector<std::string>& out, std::size_t depth) {
    CHECK(depth <= dict.max_word_bytes);  // each symbol is at least one byte: no cycle
    for (char32_t cp : alphabet) {
        lb::WordDictionary::State next = state;
        bool is_word = false;
        if (!dict.step(next, cp, is_word)) continue;
        const std::size_t size = prefix.size();
        scrivlet::utf8::append(prefix, cp);
        if (is_word) out.push_back(prefix);
        accepted(dict, next, alphabet, prefix, out, depth + 1);
        prefix.resize(size);
    }
}

// The longest match by its plain definition: every boundary length from the
// longest word down to one byte, the first member wins.
std::size_t longest_by_descent(const lb::WordDictionary& dict, std::string_view text) {
    std::size_t top = std::min<std::size_t>(dict.max_word_bytes, text.size());
    for (std::size_t len = top; len >= 1; --len) {
        if (len < text.size() && is_continuation(text[len])) continue;
        if (dict.contains(text.substr(0, len))) return len;
    }
    return 0;
}

}  // namespace

TEST(each_dictionary_accepts_exactly_its_listed_words) {
    for (auto lang : ALL) {
        const auto& dict = lb::dictionary_for(lang);
        std::vector<char32_t> alphabet;
        for (char32_t cp = 0; cp < 0x110000; ++cp)
            if (dict.symbol(cp) != 0) alphabet.push_back(cp);
        std::vector<std::string> got;
        std::string prefix;
        accepted(dict, dict.root, alphabet, prefix, got, 0);
        std::sort(got.begin(), got.end());
        auto words = listed_words(lang);
        std::sort(words.begin(), words.end());
        CHECK(std::adjacent_find(got.begin(), got.end()) == got.end());
        CHECK_EQ(got.size(), words.size());
        CHECK(got == words);
        CHECK_EQ(dict.word_count, words.size());
    }
}

TEST(max_word_bytes_equals_the_longest_listed_word) {
    const std::uint64_t expected[] = {60, 96, 57, 99};
    const std::size_t counts[] = {26383, 30550, 81028, 41120};
    for (std::size_t i = 0; i < 4; ++i) {
        std::size_t longest = 0;
        for (const auto& w : listed_words(ALL[i])) longest = std::max(longest, w.size());
        const auto& dict = lb::dictionary_for(ALL[i]);
        CHECK_EQ(dict.max_word_bytes, longest);
        CHECK_EQ(dict.max_word_bytes, expected[i]);
        CHECK_EQ(dict.word_count, counts[i]);
    }
}

TEST(dictionaries_are_constant_data_used_without_allocating) {
    auto words = listed_words(DictionaryLanguage::Khmer);
    const std::string text = words[100] + words[5000] + words[777];
    const std::size_t before = allocations.load();
    std::size_t found = 0;
    for (auto lang : ALL) {
        const auto& dict = lb::dictionary_for(lang);
        found += dict.contains(words[100]) + dict.longest_word_at(text);
    }
    CHECK_EQ(allocations.load(), before);
    CHECK_EQ(found, 1 + words[100].size());  // Khmer's alone
    // The first segmentation of a text reads the same data: nothing is built
    // for it beyond the result.
    auto cuts = lb::segment_run(words[100] + words[5000], DictionaryLanguage::Khmer);
    CHECK(cuts == std::vector<std::uint64_t>{words[100].size()});
}

TEST(any_other_language_value_selects_thai) {
    for (int value : {4, 7, 200, 255})
        CHECK(&lb::dictionary_for(static_cast<DictionaryLanguage>(value)) ==
              &lb::dictionary_for(DictionaryLanguage::Thai));
    CHECK(&lb::dictionary_for(DictionaryLanguage::Lao) != &lb::dictionary_for(DictionaryLanguage::Thai));
}

TEST(every_listed_word_is_a_member_and_its_unlisted_prefixes_are_not) {
    for (auto lang : ALL) {
        auto words = listed_words(lang);
        std::set<std::string_view> listed(words.begin(), words.end());
        const auto& dict = lb::dictionary_for(lang);
        for (std::string_view w : words) {
            CHECK(dict.contains(w));
            for (std::size_t k = 1; k < w.size(); ++k) {
                if (is_continuation(w[k])) continue;
                auto prefix = w.substr(0, k);
                CHECK_EQ(dict.contains(prefix), listed.count(prefix) == 1);
            }
        }
        CHECK(!dict.contains(""));
        CHECK(!dict.contains(words.front() + "x"));
        CHECK(!dict.contains("hello"));
    }
}

TEST(longest_match_scan_agrees_with_trying_every_length_downwards) {
    // Texts made of listed words cut at random places, glued together: many
    // positions have several matching lengths, and some have none.
    std::mt19937 rng(12345);
    for (auto lang : ALL) {
        auto words = listed_words(lang);
        const auto& dict = lb::dictionary_for(lang);
        std::string text;
        for (int i = 0; i < 3000; ++i) {
            std::string_view w = words[rng() % words.size()];
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

TEST(segment_run_cuts_unknown_text_after_every_code_point) {
    // Thai digits are not words: ๑๒๓ (three 3-byte code points).
    auto cuts = lb::segment_run("\xE0\xB9\x91\xE0\xB9\x92\xE0\xB9\x93", DictionaryLanguage::Thai);
    CHECK((cuts == std::vector<std::uint64_t>{3, 6}));
    CHECK(lb::segment_run("", DictionaryLanguage::Thai).empty());
}

TEST(segment_run_takes_the_longest_listed_word) {
    auto words = listed_words(DictionaryLanguage::Lao);
    std::set<std::string_view> listed(words.begin(), words.end());
    // A listed word w that has a listed proper prefix.
    for (std::string_view w : words) {
        std::size_t prefix = 0;
        for (std::size_t k = 1; k < w.size(); ++k)
            if (!is_continuation(w[k]) && listed.count(w.substr(0, k))) prefix = k;
        if (prefix == 0) continue;
        const auto& dict = lb::dictionary_for(DictionaryLanguage::Lao);
        CHECK_EQ(dict.longest_word_at(w), w.size());
        CHECK(lb::segment_run(w, DictionaryLanguage::Lao).empty());
        return;
    }
    CHECK(!"no listed Lao word with a listed prefix");
}

TEST(words_between_other_text_are_cut_by_their_own_list) {
    auto words = listed_words(DictionaryLanguage::Khmer);
    // Khmer words between Latin, digits and a line feed: only Khmer is SA here.
    std::string text = "see " + words[100] + words[5000] + " 42\n" + words[777];
    auto ops = lb::line_break_opportunities_with_dictionary(text);
    // The break between the two words is the dictionary's (the pair rules have none).
    auto between = std::pair<std::uint64_t, lb::BreakAction>(4 + words[100].size(),
                                                             lb::BreakAction::Allowed);
    CHECK(std::find(ops.begin(), ops.end(), between) != ops.end());
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
