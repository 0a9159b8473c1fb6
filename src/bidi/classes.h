// Bidi_Class of the code points of fixed-width text, without a search for
// planes 0 and 1.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "../data/bidi_class.h"

namespace scrivlet::bidi {

// Plane 1 as one class per code point (64 KB): text that mixes the planes
// (emoji among spaces, ZWJs and variation selectors) reads both tables and
// selects, with no branch on the plane.
struct Plane1Classes {
    std::array<data::BidiClass, 0x10000> classes{};  // L where no entry covers
};

constexpr Plane1Classes build_plane1_classes() {
    Plane1Classes t{};
    for (const auto& e : data::BIDI_CLASS_RANGES)
        for (std::uint32_t cp = e.first < 0x10000 ? 0x10000 : e.first; cp <= e.last && cp < 0x20000; ++cp)
            t.classes[cp - 0x10000] = e.value;
    return t;
}

// Computed once, in mod.cpp.
extern const Plane1Classes PLANE1_CLASSES;

// data::bidi_class for code points in any order; beyond plane 1 the lookup
// that remembers its last range.
class FixedClassLookup {
public:
    data::BidiClass operator()(char32_t cp) noexcept {
        if (cp >= 0x20000) [[unlikely]]
            return rest_(cp);
        const std::uint32_t bmp = static_cast<std::uint32_t>(data::detail::BMP_BIDI_CLASSES[cp & 0xFFFF]);
        const std::uint32_t plane1 = static_cast<std::uint32_t>(PLANE1_CLASSES.classes[cp & 0xFFFF]);
        const std::uint32_t in_bmp = 0u - std::uint32_t(cp < 0x10000);
        return static_cast<data::BidiClass>((bmp & in_bmp) | (plane1 & ~in_bmp));
    }

private:
    data::BidiClassLookup rest_;
};

}  // namespace scrivlet::bidi
