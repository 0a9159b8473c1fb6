// Bidi_Class of the code points of fixed-width text, without a search for
// planes 0 and 1.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "../data/bidi_class.h"

namespace scrivlet::bidi {

// Planes 0 and 1 as one class per code point (128 KB): text that mixes the
// planes (emoji among spaces, ZWJs and variation selectors) finds each class
// with one load and no branch on the plane.
struct Planes01Classes {
    std::array<data::BidiClass, 0x20000> classes{};  // L where no entry covers
};

constexpr Planes01Classes build_planes01_classes() {
    Planes01Classes t{};
    for (const auto& e : data::BIDI_CLASS_RANGES)
        for (std::uint32_t cp = e.first; cp <= e.last && cp < 0x20000; ++cp) t.classes[cp] = e.value;
    return t;
}

// Computed once, in mod.cpp.
extern const Planes01Classes PLANES01_CLASSES;

// data::bidi_class for code points in any order; beyond plane 1 the lookup
// that remembers its last range.
class FixedClassLookup {
public:
    data::BidiClass operator()(char32_t cp) noexcept {
        if (cp >= 0x20000) [[unlikely]]
            return rest_(cp);
        return PLANES01_CLASSES.classes[cp];
    }

private:
    data::BidiClassLookup rest_;
};

}  // namespace scrivlet::bidi
