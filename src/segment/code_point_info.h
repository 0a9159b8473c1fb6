// One byte of facts per code point (a class and the UTF-8 length, packed as the
// caller likes), computed once so that boundary scans never decode twice.
// Short texts, most calls, keep the bytes on the stack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "../utf8.h"

namespace scrivlet::segment {

class CodePointInfo {
public:
    // info_of(code point, UTF-8 length) gives the byte for one code point.
    template <typename InfoOf>
    CodePointInfo(std::string_view text, InfoOf info_of) {
        const std::size_t size = text.size();
        if (size > sizeof small_) large_.reset(new std::uint8_t[size]);
        info_ = large_ ? large_.get() : small_;
        const auto* s = reinterpret_cast<const unsigned char*>(text.data());
        for (std::size_t pos = 0; pos < size;) {
            if (s[pos] < 0x80) {
                info_[count_++] = info_of(char32_t(s[pos]), std::size_t(1));
                ++pos;
                continue;
            }
            std::size_t len;
            const char32_t cp = utf8::decode(text, pos, len);
            info_[count_++] = info_of(cp, len);
            pos += len;
        }
    }
    CodePointInfo(const CodePointInfo&) = delete;
    CodePointInfo& operator=(const CodePointInfo&) = delete;

    const std::uint8_t* data() const noexcept { return info_; }
    std::size_t size() const noexcept { return count_; }

private:
    std::uint8_t small_[256];
    std::unique_ptr<std::uint8_t[]> large_;
    std::uint8_t* info_ = nullptr;
    std::size_t count_ = 0;
};

}  // namespace scrivlet::segment
