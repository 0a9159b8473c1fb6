// Width and truncation: truncations are prefixes that end on a cluster edge and
// stay within their limits; the width is at most two cells per code point.
#include "fuzz_common.h"
#include "truncate/mod.h"

using namespace scrivlet;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto in = fuzz::split_input(data, size);
    const std::string_view text = in.text;
    const auto edges = fuzz::cluster_edges(text);
    const std::uint64_t width = truncate::text_width(text);
    fuzz::check(width <= 2 * fuzz::code_point_count(text), "width bound", text);

    const auto by_clusters = truncate::truncate_to_clusters(text, in.number);
    fuzz::check(text.substr(0, by_clusters.size()) == by_clusters, "cluster truncation is a prefix", text);
    fuzz::check(fuzz::is_cluster_edge(edges, by_clusters.size()), "cluster truncation on an edge", text);
    const auto kept = std::size_t(std::lower_bound(edges.begin(), edges.end(), by_clusters.size()) - edges.begin());
    const std::uint64_t clusters = edges.size() - 1;
    fuzz::check(kept == std::min<std::uint64_t>(clusters, in.number), "cluster truncation keeps min(limit, count)", text);

    const auto limit = static_cast<std::uint32_t>(in.number);
    const auto by_width = truncate::truncate_to_width(text, limit);
    fuzz::check(text.substr(0, by_width.size()) == by_width, "width truncation is a prefix", text);
    fuzz::check(fuzz::is_cluster_edge(edges, by_width.size()), "width truncation on an edge", text);
    fuzz::check(truncate::text_width(by_width) <= limit, "width truncation within the limit", text);
    // A limit of 0 keeps nothing, even clusters of width 0.
    if (width <= limit && limit > 0)
        fuzz::check(by_width.size() == text.size(), "text within the limit is kept whole", text);
    return 0;
}
