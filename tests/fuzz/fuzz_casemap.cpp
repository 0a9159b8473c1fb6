// Case operations: well-formed output; the simple fold keeps the code point count.
#include "casemap/mod.h"
#include "fuzz_common.h"

using namespace scrivlet::casemap;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = fuzz::to_utf8(data, size);
    const std::optional<std::string_view> locale =
        size && (data[0] & 1) ? std::optional<std::string_view>("tr") : std::nullopt;
    const std::string outputs[] = {to_lowercase(text, locale), to_uppercase(text, locale), to_titlecase(text),
                                   case_fold(text), case_fold_simple(text)};
    for (const auto& s : outputs)
        fuzz::check(fuzz::to_utf8(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()) == s,
                    "case output is well-formed UTF-8", text);
    fuzz::check(fuzz::code_point_count(outputs[4]) == fuzz::code_point_count(text),
                "simple fold keeps the code point count", text);
    fuzz::check(case_fold_simple(outputs[4]) == outputs[4], "simple fold idempotent", text);
    return 0;
}
