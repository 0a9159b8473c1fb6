// Word boundaries: start at 0, ascending, inside the text, on code point starts.
#include "fuzz_common.h"
#include "segment/word.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = fuzz::to_utf8(data, size);
    fuzz::check_boundaries(scrivlet::segment::word_boundary_offsets(text), text, true);
    return 0;
}
