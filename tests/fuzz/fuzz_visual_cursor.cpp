// Visual cursor: every result is a cluster edge of the text.
#include "cursor/mod.h"
#include "fuzz_common.h"

using namespace scrivlet;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto in = fuzz::split_input(data, size);
    const std::string_view text = in.text;
    const auto edges = fuzz::cluster_edges(text);
    const auto left = cursor::move_left_visual(text, in.number);
    const auto right = cursor::move_right_visual(text, in.number);
    fuzz::check(fuzz::is_cluster_edge(edges, left), "visual left on a cluster edge", text);
    fuzz::check(fuzz::is_cluster_edge(edges, right), "visual right on a cluster edge", text);
    return 0;
}
