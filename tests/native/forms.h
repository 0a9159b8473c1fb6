// Texts in every form the core reads (UTF-8 and the interpreter's fixed-width
// Latin-1, UCS-2 and UCS-4 units), for tests that compare an operation's
// results across forms on random texts of every script.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "check.h"
#include "text.h"
#include "utf8.h"

namespace scrivlet::testing {

// A text in all the forms that can hold it (Latin-1 and UCS-2 only when its
// code points fit).
struct Forms {
    std::u32string cps;
    std::string utf8;
    std::vector<std::uint8_t> latin1;
    std::u16string ucs2;
    bool fits_latin1 = true, fits_ucs2 = true;

    explicit Forms(std::u32string c) : cps(std::move(c)) {
        for (char32_t cp : cps) {
            scrivlet::utf8::append(utf8, cp);
            fits_latin1 = fits_latin1 && cp < 0x100;
            fits_ucs2 = fits_ucs2 && cp < 0x10000;
            latin1.push_back(static_cast<std::uint8_t>(cp));
            ucs2.push_back(static_cast<char16_t>(cp));
        }
    }

    // Calls check(form_result, utf8_result) for each fixed-width form.
    template <typename Op, typename Check>
    void compare(Op&& op, Check&& check) const {
        const auto expected = op(std::string_view(utf8));
        if (fits_latin1) check(op(scrivlet::text::Latin1{latin1.data(), latin1.size()}), expected);
        if (fits_ucs2) check(op(scrivlet::text::Ucs2{ucs2.data(), ucs2.size()}), expected);
        check(op(scrivlet::text::Ucs4{cps.data(), cps.size()}), expected);
    }
};

// Code points of every script and of every class the algorithms single out.
inline const std::vector<char32_t>& pool() {
    static const std::vector<char32_t> cps = [] {
        std::vector<char32_t> v;
        const std::pair<char32_t, char32_t> ranges[] = {
            {0x20, 0x7E},     {0x09, 0x0D},     {0xA0, 0xFF},     {0x100, 0x17F},
            {0x300, 0x36F},   {0x370, 0x3FF},   {0x400, 0x45F},   {0x590, 0x5FF},
            {0x600, 0x6FF},   {0x900, 0x97F},   {0xE00, 0xE7F},   {0xE80, 0xEFF},
            {0x1000, 0x109F}, {0x1100, 0x11FF}, {0x1780, 0x17FF}, {0x200B, 0x202E},
            {0x2066, 0x2069}, {0x3000, 0x30FF}, {0x4E00, 0x4E2F}, {0xAC00, 0xAC3F},
            {0xFB00, 0xFB4F}, {0xFE00, 0xFE0F}, {0xFF00, 0xFF65}, {0x1F1E6, 0x1F1FF},
            {0x1F300, 0x1F64F}, {0x1F3FB, 0x1F3FF}, {0x10400, 0x1044F}, {0x1D400, 0x1D41F},
        };
        for (auto [a, b] : ranges)
            for (char32_t c = a; c <= b; ++c) v.push_back(c);
        return v;
    }();
    return cps;
}

// Random texts: mostly mixed scripts, some within Latin-1 or the BMP, so that
// every form is exercised.
inline std::vector<Forms> random_texts(std::size_t count) {
    std::mt19937 rng(20261208);
    const auto& all = pool();
    std::uniform_int_distribution<std::size_t> pick(0, all.size() - 1);
    std::uniform_int_distribution<int> length(0, 40);
    std::vector<Forms> out;
    for (std::size_t t = 0; t < count; ++t) {
        const int limit = t % 3 == 0 ? 0x100 : t % 3 == 1 ? 0x10000 : 0x110000;
        std::u32string cps;
        for (int i = length(rng); i > 0;) {
            const char32_t c = all[pick(rng)];
            if (c < char32_t(limit)) {
                cps.push_back(c);
                --i;
            }
        }
        out.emplace_back(std::move(cps));
    }
    return out;
}

template <typename A, typename B>
void same(const A& got, const B& expected) {
    CHECK(got == expected);
}

}  // namespace scrivlet::testing
