// Output of the operations that rewrite a text into fixed-width units, the
// form in which the interpreter stores its strings (text.h). Whoever owns the
// memory (the binding's new str, a std::basic_string in the tests) supplies
// and grows it; the operation writes through a raw pointer and keeps the OR
// of the code points it wrote (ASCII may be left out). The OR is at or above
// 0x80, 0x100 or 0x10000 exactly when some code point is, so it tells the
// owner the narrowest units
// that hold the result, and whether the units it chose were too narrow (the
// units then hold truncated values, and the operation is run again wider).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

namespace scrivlet::text {

template <typename Unit>
class UnitWriter {
public:
    class Storage {
    public:
        // Room for at least `capacity` units, the first `used` of them kept.
        virtual Unit* grow(std::size_t used, std::size_t capacity) = 0;

    protected:
        ~Storage() = default;
    };

    explicit UnitWriter(Storage& storage) noexcept : storage_(&storage) {}

    bool started() const noexcept { return begin_ != nullptr; }
    // The first room, for a result expected to be about `capacity` units.
    void start(std::size_t capacity) { grow_to(std::max<std::size_t>(capacity, 1)); }
    void ensure(std::size_t room) {
        // an eighth more than needed: geometric growth, and little unused room
        if (static_cast<std::size_t>(end_ - p_) < room) grow_to(size() + room + (size() + room) / 8 + 16);
    }
    // The caller has ensured room.
    void put_unchecked(char32_t c) noexcept {
        *p_++ = static_cast<Unit>(c);
        bits_ |= c;
    }
    void put(char32_t c) {
        ensure(1);
        put_unchecked(c);
    }
    void put(std::u32string_view cps) {
        ensure(cps.size());
        for (char32_t c : cps) put_unchecked(c);
    }
    // Copies n units of a text in bulk.
    template <typename In>
    void copy(const In* from, std::size_t n) {
        if (n == 0) return;
        ensure(n);
        if constexpr (std::is_same_v<In, Unit>)
            bits_ |= copy_same(p_, from, n);
        else
            for (std::size_t k = 0; k < n; ++k) {
                const char32_t c = from[k];
                p_[k] = static_cast<Unit>(c);
                bits_ |= c;
            }
        p_ += n;
    }

    // For hot loops, which keep the cursor and the OR in locals (a store
    // through a one-byte unit could alias the writer's own members): where the
    // next unit goes, and after writing up to `to`, with these bits, moving on.
    Unit* cursor() const noexcept { return p_; }
    std::size_t room() const noexcept { return static_cast<std::size_t>(end_ - p_); }
    void advance(Unit* to, char32_t bits) noexcept {
        p_ = to;
        bits_ |= bits;
    }

    std::size_t size() const noexcept { return static_cast<std::size_t>(p_ - begin_); }
    char32_t bits() const noexcept { return bits_; }
    const Unit* data() const noexcept { return begin_; }

private:
    void grow_to(std::size_t capacity) {
        const std::size_t used = size();
        begin_ = storage_->grow(used, capacity);
        p_ = begin_ + used;
        end_ = begin_ + capacity;
    }

    // memcpy eight bytes at a time, ORing the words on the way; returns the OR
    // of the units.
    static char32_t copy_same(Unit* to, const Unit* from, std::size_t n) noexcept {
        const std::size_t bytes = n * sizeof(Unit);
        const auto* f = reinterpret_cast<const unsigned char*>(from);
        auto* t = reinterpret_cast<unsigned char*>(to);
        std::uint64_t a = 0, b = 0;
        std::size_t k = 0;
        for (; k + 16 <= bytes; k += 16) {
            std::uint64_t w0, w1;
            std::memcpy(&w0, f + k, 8);
            std::memcpy(&w1, f + k + 8, 8);
            a |= w0;
            b |= w1;
            std::memcpy(t + k, &w0, 8);
            std::memcpy(t + k + 8, &w1, 8);
        }
        a |= b;
        if constexpr (sizeof(Unit) == 1) {
            a |= a >> 32;
            a |= a >> 16;
            a |= a >> 8;
            a &= 0xFF;
        } else if constexpr (sizeof(Unit) == 2) {
            a |= a >> 32;
            a |= a >> 16;
            a &= 0xFFFF;
        } else {
            a |= a >> 32;
            a &= 0xFFFFFFFF;
        }
        char32_t bits = static_cast<char32_t>(a);
        for (std::size_t u = k / sizeof(Unit); u < n; ++u) {
            to[u] = from[u];
            bits |= from[u];
        }
        return bits;
    }

    Storage* storage_;
    Unit* begin_ = nullptr;
    Unit* p_ = nullptr;
    Unit* end_ = nullptr;
    char32_t bits_ = 0;
};

}  // namespace scrivlet::text
