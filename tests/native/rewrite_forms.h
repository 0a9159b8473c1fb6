// Comparing the operations that rewrite a text (case mapping, normalization)
// across forms: the fixed-width paths write into text::UnitWriter, the UTF-8
// path returns a std::string; both are compared as code points.
#pragma once

#include <string>
#include <string_view>
#include <type_traits>

#include "check.h"
#include "forms.h"
#include "text_writer.h"
#include "utf8.h"

namespace scrivlet::testing {

template <typename Unit>
struct StringStorage final : text::UnitWriter<Unit>::Storage {
    std::basic_string<Unit> units;
    Unit* grow(std::size_t, std::size_t capacity) override {
        units.resize(capacity);
        return units.data();
    }
};

inline std::u32string code_points(std::string_view utf8_text) {
    std::u32string out;
    for (utf8::Decoder d(utf8_text); !d.done();) out.push_back(d.next());
    return out;
}

// The narrowest units that hold code points whose OR is bits: 1 for ASCII,
// 2 for Latin-1, 3 for UCS-2, 4 for UCS-4.
inline int width_class(char32_t bits) { return bits < 0x80 ? 1 : bits < 0x100 ? 2 : bits < 0x10000 ? 3 : 4; }

// Runs fixed_op(text, writer) into units of type Out; the result as code
// points, or the text itself when the operation left it unchanged. Checks
// what the binding relies on: nothing is written for an unchanged text, a
// change is a real one, and the writer's bits choose the result's form.
template <typename Out, typename Unit, typename FixedOp>
std::u32string rewritten(FixedOp& fixed_op, text::Fixed<Unit> t, bool& fits) {
    const std::u32string input(t.data, t.data + t.size);
    StringStorage<Out> storage;
    text::UnitWriter<Out> out(storage);
    if (!fixed_op(t, out)) {
        CHECK(!out.started());
        fits = true;
        return input;
    }
    const std::u32string result(out.data(), out.data() + out.size());
    char32_t bits = 0;
    for (char32_t c : result) bits |= c;
    // wider than Out: the units hold truncated values, and the bits say so
    fits = out.bits() <= char32_t(Out(~Out(0)));
    if (fits) {
        CHECK(width_class(out.bits()) == width_class(bits));
        CHECK(result != input);
    }
    return result;
}

// An operation for Forms::compare: utf8_op on UTF-8, fixed_op on the
// fixed-width forms (into their own units and into UCS-4, which must agree
// whenever the result fits the narrower units).
template <typename Utf8Op, typename FixedOp>
auto rewrite_op(Utf8Op utf8_op, FixedOp fixed_op) {
    return [=](auto t) mutable -> std::u32string {
        if constexpr (std::is_same_v<decltype(t), std::string_view>) {
            return code_points(utf8_op(t));
        } else {
            using Unit = std::remove_const_t<std::remove_pointer_t<decltype(t.data)>>;
            bool fits_wide = false, fits_own = false;
            const std::u32string wide = rewritten<char32_t>(fixed_op, t, fits_wide);
            const std::u32string own = rewritten<Unit>(fixed_op, t, fits_own);
            CHECK(fits_wide);
            if (fits_own) CHECK(own == wide);
            return wide;
        }
    };
}

inline void same_code_points(const std::u32string& got, const std::u32string& expected) { CHECK(got == expected); }

}  // namespace scrivlet::testing
