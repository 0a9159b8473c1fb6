// Word dictionaries for Thai, Lao, Khmer and Myanmar, built lazily from the
// embedded word lists, and the forward-longest-match segmentation of one run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace scrivlet::linebreak {

// Any value other than these four selects Thai.
enum class DictionaryLanguage : std::uint8_t { Thai = 0, Lao = 1, Khmer = 2, Myanmar = 3 };

// The embedded word list of a language: UTF-8, one word per line, each line
// ended by a line feed.
std::string_view embedded_word_list(DictionaryLanguage lang) noexcept;

// A set of words that refers into the list it was built from (nothing is
// copied, so the list must outlive the set). Besides the words, the set holds
// every prefix of a word that ends on a code point boundary, flagged as a
// non-word: the longest-match scan stops as soon as no listed word can start
// with the bytes read so far.
class WordDictionary {
public:
    // Splits at line feeds (a final piece without one is a line too), drops a
    // line's trailing carriage return, trims White_Space from both ends and
    // skips empty lines. Duplicates collapse.
    explicit WordDictionary(std::string_view list);
    ~WordDictionary();
    WordDictionary(const WordDictionary&) = delete;
    WordDictionary& operator=(const WordDictionary&) = delete;

    // Exact membership: a prefix of a word is a member only if it is listed itself.
    bool contains(std::string_view word) const noexcept;

    // Byte length of the longest listed word that text starts with, 0 if none.
    // Only lengths that end at the end of text or before a byte that is not a
    // UTF-8 continuation byte count; with accept given, only the lengths k for
    // which accept(k) holds (it is asked only about listed words).
    std::size_t longest_word_at(std::string_view text) const noexcept;
    template <typename Accept>
    std::size_t longest_word_at(std::string_view text, Accept&& accept) const noexcept;

    std::uint64_t max_word_bytes() const noexcept { return max_word_bytes_; }
    std::size_t word_count() const noexcept { return word_count_; }
    // Heap and object bytes this dictionary holds (the list itself not counted).
    std::size_t memory_bytes() const noexcept;

private:
    struct Slot;
    const Slot* find(std::uint64_t state, const char* bytes, std::size_t len) const noexcept;
    const Slot* find_finished(std::uint64_t hash, const char* bytes,
                              std::size_t len) const noexcept;
    void insert(std::uint64_t hash, std::size_t offset, std::size_t len, bool is_word);

    std::string_view list_;
    std::unique_ptr<Slot[]> slots_;
    std::size_t mask_ = 0;
    std::uint64_t seed_ = 0;
    std::uint64_t max_word_bytes_ = 0;
    std::size_t word_count_ = 0;
};

// The dictionary of a language (Thai for any other value), built from its
// embedded list by a thread-safe one-time initialiser on the first call for
// that language and read-only afterwards.
const WordDictionary& dictionary_for(DictionaryLanguage lang);

inline bool contains(const WordDictionary& dict, std::string_view word) noexcept {
    return dict.contains(word);
}

// The dictionary language of a code point whose raw Line_Break class is SA;
// none for SA scripts without a word list (Tai Tham, Tai Viet, New Tai Lue...).
std::optional<DictionaryLanguage> script_of(char32_t cp) noexcept;

// Forward longest match over one run, by grapheme cluster: the byte offsets
// (relative to the run) where one word ends and the next begins, ascending,
// never 0 and never the run's length. A word counts only where it ends on a
// cluster boundary of the run; text that matches no word is cut after every
// cluster.
std::vector<std::uint64_t> segment_run(std::string_view run, DictionaryLanguage lang);

// Test-only observation: how many times the list of a language has been built
// into a dictionary in this process (0 or 1).
std::uint32_t dictionary_load_count(DictionaryLanguage lang) noexcept;

}  // namespace scrivlet::linebreak
