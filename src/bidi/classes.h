// Bidi_Class of the code points of fixed-width text, without a search for
// planes 0 and 1.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "../data/bidi_class.h"

namespace scrivlet::bidi {

// Plane 0 from the data header's table, plane 1 in two stages: a block of 256
// code points sharing one class (emoji, most historic scripts) is stored as
// that class alone.
struct Plane1Classes {
    static constexpr std::uint16_t UNIFORM = 0x8000;
    std::array<std::uint16_t, 256> index{};  // UNIFORM | class, or a block number
    std::array<std::array<data::BidiClass, 256>, 96> blocks{};
};

constexpr Plane1Classes build_plane1_classes() {
    std::array<data::BidiClass, 0x10000> flat{};  // L where no entry covers
    for (const auto& e : data::BIDI_CLASS_RANGES)
        for (std::uint32_t cp = e.first < 0x10000 ? 0x10000 : e.first; cp <= e.last && cp < 0x20000; ++cp)
            flat[cp - 0x10000] = e.value;
    Plane1Classes t{};
    std::size_t used = 0;
    for (std::size_t hi = 0; hi < 256; ++hi) {
        bool uniform = true;
        for (std::size_t lo = 1; lo < 256; ++lo) uniform = uniform && flat[hi << 8 | lo] == flat[hi << 8];
        if (uniform) {
            t.index[hi] = static_cast<std::uint16_t>(Plane1Classes::UNIFORM | static_cast<std::uint16_t>(flat[hi << 8]));
            continue;
        }
        if (used == t.blocks.size()) throw "too many mixed blocks for the plane 1 bidi table";
        for (std::size_t lo = 0; lo < 256; ++lo) t.blocks[used][lo] = flat[hi << 8 | lo];
        t.index[hi] = static_cast<std::uint16_t>(used++);
    }
    return t;
}

// Computed once, in mod.cpp.
extern const Plane1Classes PLANE1_CLASSES;

// data::bidi_class for code points in any order; beyond plane 1 the lookup
// that remembers its last range.
class FixedClassLookup {
public:
    data::BidiClass operator()(char32_t cp) noexcept {
        if (cp < 0x10000) return data::detail::BMP_BIDI_CLASSES[cp];
        if (cp < 0x20000) {
            const std::uint16_t e = PLANE1_CLASSES.index[(cp >> 8) & 0xFF];
            if (e & Plane1Classes::UNIFORM) return static_cast<data::BidiClass>(e & 0xFF);
            return PLANE1_CLASSES.blocks[e][cp & 0xFF];
        }
        return rest_(cp);
    }

private:
    data::BidiClassLookup rest_;
};

}  // namespace scrivlet::bidi
