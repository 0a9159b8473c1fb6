// The runs of Thai, Lao, Khmer and Myanmar that dictionary segmentation
// cuts into words, found in any form of text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "../data/line_break.h"
#include "dictionary.h"
#include "units.h"

namespace scrivlet::linebreak {

// Units [start, end) of the text, at UTF-8 offsets [start_offset, end_offset).
struct Run {
    std::size_t start = 0, end = 0;
    std::size_t start_offset = 0, end_offset = 0;
    DictionaryLanguage lang = DictionaryLanguage::Thai;
};

// The dictionary language of a code point that starts or continues a run:
// raw class SA and a script with a word list.
constexpr std::optional<DictionaryLanguage> classify_run_member(char32_t cp) noexcept {
    auto lang = script_of(cp);
    if (lang && data::raw_line_break_class(cp) != data::LineBreakClass::SA) return std::nullopt;
    return lang;
}

// classify_run_member for U+0E00..U+19FF and U+AA60..U+AA7F (the only code
// points it gives a language), as a table: the language's value, or NONE.
struct RunMembers {
    static constexpr std::uint8_t NONE = 0xFF;
    std::uint8_t low[0x1A00 - 0x0E00] = {};
    std::uint8_t high[0x20] = {};
};

constexpr RunMembers build_run_members() {
    RunMembers t;
    auto value = [](char32_t cp) {
        const auto lang = classify_run_member(cp);
        return lang ? static_cast<std::uint8_t>(*lang) : RunMembers::NONE;
    };
    for (char32_t cp = 0x0E00; cp < 0x1A00; ++cp) t.low[cp - 0x0E00] = value(cp);
    for (char32_t cp = 0xAA60; cp < 0xAA80; ++cp) t.high[cp - 0xAA60] = value(cp);
    return t;
}

inline constexpr RunMembers RUN_MEMBERS = build_run_members();

// The language's value for a code point that starts or continues a run, NONE
// for any other.
inline std::uint8_t run_member(char32_t cp) noexcept {
    if (cp - 0x0E00 < 0x1A00 - 0x0E00) return RUN_MEMBERS.low[cp - 0x0E00];
    if (cp - 0xAA60 < 0x20) return RUN_MEMBERS.high[cp - 0xAA60];
    return RunMembers::NONE;
}

// Whether a code point may open a run: U+0E01..U+19FF or U+AA60..U+AA7F.
constexpr bool may_open_run(char32_t cp) noexcept {
    return cp - 0x0E01 <= 0x19FF - 0x0E01 || cp - 0xAA60 <= 0xAA7F - 0xAA60;
}

// Finds the runs in order: a code point of a dictionary script, then those
// after it of the same one; a ZWNJ or ZWJ belongs to the run only between two
// of its letters. A run of one code point has nothing inside to cut and is
// passed over.
template <typename Units>
class RunFinder {
public:
    explicit RunFinder(Units text) noexcept : text_(text) {}

    // The next run at or after unit index pos, whose UTF-8 offset is offset.
    std::optional<Run> next(std::size_t pos, std::size_t offset) const noexcept {
        constexpr char32_t ZWNJ = 0x200C, ZWJ = 0x200D;
        const std::size_t n = text_.size();
        while (pos < n) {
            std::size_t len;
            const char32_t cp = text_.decode(pos, len);
            const std::uint8_t lang = run_member(cp);
            if (lang == RunMembers::NONE) {
                pos += len;
                offset += Units::utf8_bytes(cp, len);
                continue;
            }
            Run run{pos, 0, offset, 0, static_cast<DictionaryLanguage>(lang)};
            pos += len;
            offset += Units::utf8_bytes(cp, len);
            // Every code point of a run is three bytes long in UTF-8.
            if constexpr (Units::FIXED) {
                // One unit per code point: the run's letters are passed with
                // one table read each, and its length gives its offset.
                const auto* d = text_.data;
                while (pos < n) {
                    const char32_t next = d[pos];
                    if (run_member(next) == lang) {
                        ++pos;
                    } else if ((next == ZWNJ || next == ZWJ) && pos + 1 < n &&
                               run_member(d[pos + 1]) == lang) {
                        pos += 2;
                    } else {
                        break;
                    }
                }
                offset += 3 * (pos - run.start - len);
            }
            while (!Units::FIXED && pos < n) {
                std::size_t next_len;
                const char32_t next = text_.decode(pos, next_len);
                if (next == ZWNJ || next == ZWJ) {
                    std::size_t after_len;
                    const std::size_t after = pos + next_len;
                    if (after >= n || run_member(text_.decode(after, after_len)) != lang) break;
                    next_len += after_len;
                    offset += 6;
                } else if (run_member(next) != lang) {
                    break;
                } else {
                    offset += 3;
                }
                pos += next_len;
            }
            if (pos - run.start == len) continue;  // one code point
            run.end = pos;
            run.end_offset = offset;
            return run;
        }
        return std::nullopt;
    }

private:
    Units text_;
};

// Appends to cuts (UTF-8 offsets in the text) the word ends inside the run, by
// forward longest match over the run's grapheme clusters. ends is working
// room, kept by the caller from one run to the next so that a run allocates
// nothing.
template <typename Units>
void segment_into(const WordDictionary& dict, Units text, const Run& run,
                  std::vector<std::uint64_t>& cuts, std::vector<std::size_t>& ends);

}  // namespace scrivlet::linebreak
