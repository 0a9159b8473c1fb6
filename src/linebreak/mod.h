// Line-break opportunities (UAX #14 pair rules), optionally refined by
// dictionary segmentation of Thai, Lao, Khmer and Myanmar runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "../text.h"

namespace scrivlet::linebreak {

enum class BreakAction : std::uint8_t { Mandatory = 0, Allowed = 1, Prohibited = 2 };

using Opportunity = std::pair<std::uint64_t, BreakAction>;

// One action per byte offset 0..len (len + 1 entries).
std::vector<BreakAction> line_break_actions(std::string_view text);
std::vector<BreakAction> dictionary_line_break_actions(std::string_view text);

// The Mandatory and Allowed offsets of an action array, ascending.
std::vector<Opportunity> opportunities_from_actions(const std::vector<BreakAction>& actions);

// The Mandatory and Allowed offsets, ascending.
std::vector<Opportunity> line_break_opportunities(std::string_view text);
std::vector<Opportunity> line_break_opportunities_with_dictionary(std::string_view text);

// The same read from the interpreter's fixed-width forms (text::Latin1,
// text::Ucs2, text::Ucs4), with the offsets still in UTF-8 bytes.
template <typename Unit>
std::vector<Opportunity> line_break_opportunities(text::Fixed<Unit> text);
template <typename Unit>
std::vector<Opportunity> line_break_opportunities_with_dictionary(text::Fixed<Unit> text);

// Receives the opportunities in ascending order, a batch at a time, so that
// a result (the binding's list) is built as the scan goes, without a working
// copy of them all; may throw.
class OpportunitySink {
public:
    virtual void take(const Opportunity* ops, std::size_t count) = 0;

protected:
    ~OpportunitySink() = default;
};

// The same handed to a sink, in every form.
void line_break_opportunities(std::string_view text, OpportunitySink& sink);
void line_break_opportunities_with_dictionary(std::string_view text, OpportunitySink& sink);
template <typename Unit>
void line_break_opportunities(text::Fixed<Unit> text, OpportunitySink& sink);
template <typename Unit>
void line_break_opportunities_with_dictionary(text::Fixed<Unit> text, OpportunitySink& sink);

// Stretches of letters in UCS-2 take AVX2 where the processor has it; the
// tests turn that off to run the steps that other processors take.
void allow_avx2_stretches(bool allow) noexcept;
// So do the vector steps of the rules' table where it has AVX-512 with its
// byte permutes (VBMI, VBMI2).
void allow_vector_steps(bool allow) noexcept;

}  // namespace scrivlet::linebreak
