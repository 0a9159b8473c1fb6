#include "mod.h"

#include "../data/line_break.h"
#include "../utf8.h"

namespace scrivlet::linebreak {

namespace {

using data::LineBreakClass;
using C = LineBreakClass;
using A = BreakAction;

using ClassSet = std::uint64_t;

constexpr ClassSet set_of(C c) { return ClassSet(1) << unsigned(c); }
template <typename... Cs>
constexpr ClassSet set_of(C c, Cs... rest) {
    return set_of(c) | set_of(rest...);
}
inline bool in(C c, ClassSet s) { return (s >> unsigned(c)) & 1; }

constexpr ClassSet MARKS = set_of(C::CM, C::ZWJ);
constexpr ClassSet HARD_BREAKS = set_of(C::BK, C::CR, C::LF, C::NL);
// Bases that marks do not attach to (LB9, LB10).
constexpr ClassSet NO_ATTACH = set_of(C::BK, C::CR, C::LF, C::NL, C::SP, C::ZW);
constexpr ClassSet HYPHENS = set_of(C::HY, C::HH);
constexpr ClassSet ALPHA = set_of(C::AL, C::HL);
constexpr ClassSet CLOSE = set_of(C::CL, C::CP);
constexpr ClassSet AK_AS = set_of(C::AK, C::AS);
constexpr ClassSet PREFIX_POSTFIX = set_of(C::PR, C::PO);

constexpr char32_t DOTTED_CIRCLE = 0x25CC;

struct Char {
    std::size_t offset;
    char32_t cp;
    C cls;          // line_break_class (LB1 applied)
    C eff;          // after LB9 and LB10
    std::size_t base;  // nearest index <= this one that is not CM or ZWJ, or 0
};

inline bool east_asian(char32_t cp) { return data::is_east_asian_wide(cp); }

// The pair decisions of LB4..LB31, left to right. The rules that look back
// (LB14, LB15a, LB16, LB17 over spaces, LB25 over SY/IS, LB30a over regional
// indicators) read facts carried forward from the previous pairs, so each pair
// costs O(1) apart from the look-aheads of LB25 and LB28a, whose scans cover
// disjoint runs.
class PairRules {
public:
    explicit PairRules(const std::vector<Char>& chars) : ch_(chars), n_(chars.size()) {
        const Char& first = ch_[0];
        non_space_ = first.cls == C::SP ? NONE : 0;
        numeric_tail_prev_ = first.eff == C::NU;
        ri_odd_prev_ = first.eff == C::RI && first.cls == C::RI;
    }

    // Decision at the offset of code point i (1 <= i < n), called for i = 1, 2, ...
    BreakAction decide(std::size_t i) {
        const BreakAction action = rules(i);
        carry_forward(i);
        return action;
    }

private:
    static constexpr std::size_t NONE = ~std::size_t(0);

    const std::vector<Char>& ch_;
    const std::size_t n_;
    bool zw_run_ = false;
    // Nearest index at or before prev whose raw class is not SP (NONE if none).
    std::size_t non_space_;
    // Walking back from prev (and from prev - 1) over SY and IS finds NU.
    bool numeric_tail_prev_;
    bool numeric_tail_prev2_ = false;
    // The regional indicators counted back from prev are odd in number.
    bool ri_odd_prev_;

    void carry_forward(std::size_t i) {
        const Char& c = ch_[i];
        if (c.cls != C::SP) non_space_ = i;
        const bool tail = c.eff == C::NU ||
                          (in(c.eff, set_of(C::SY, C::IS)) && numeric_tail_prev_);
        numeric_tail_prev2_ = numeric_tail_prev_;
        numeric_tail_prev_ = tail;
        ri_odd_prev_ = c.eff == C::RI && ((c.cls == C::RI) != ri_odd_prev_);
    }

    C non_space_class() const { return non_space_ == NONE ? C::XX : ch_[non_space_].eff; }

    BreakAction rules(std::size_t i) {
        const Char& p = ch_[i - 1];
        const Char& c = ch_[i];
        const C rp = p.cls, rc = c.cls, ep = p.eff, ec = c.eff;
        const bool zw_run = zw_run_;
        zw_run_ = false;

        if (rp == C::BK) return A::Mandatory;                                       // LB4
        if (rp == C::CR) return rc == C::LF ? A::Prohibited : A::Mandatory;         // LB5
        if (rp == C::LF || rp == C::NL) return A::Mandatory;                        // LB5
        if (in(rc, HARD_BREAKS)) {                                                  // LB6
            zw_run_ = zw_run;
            return A::Prohibited;
        }
        if (rc == C::SP || rc == C::ZW) {                                           // LB7
            zw_run_ = zw_run || rp == C::ZW || rc == C::ZW;
            return A::Prohibited;
        }
        if (zw_run) return A::Allowed;                                              // LB8: ZW SP* ÷
        if (rp == C::ZW) return A::Allowed;                                         // LB8
        if (rp == C::ZWJ) return A::Prohibited;                                     // LB8a
        if (in(rc, MARKS) && !in(ep, NO_ATTACH)) return A::Prohibited;              // LB9
        if (ec == C::WJ) return A::Prohibited;                                      // LB11
        if (ep == C::GL) return A::Prohibited;                                      // LB12
        if (ep == C::WJ) return A::Prohibited;                                      // LB11
        if (in(ec, set_of(C::CL, C::CP, C::EX, C::SY))) return A::Prohibited;       // LB13
        if (ec == C::GL && !in(ep, set_of(C::SP, C::BA, C::HY, C::HH)))             // LB12a
            return A::Prohibited;
        if (ec == C::IS) {
            // LB15c: SP ÷ IS NU; LB15d: × IS
            const bool digits_follow = i + 1 < n_ && ch_[i + 1].eff == C::NU;
            return rp == C::SP && digits_follow ? A::Allowed : A::Prohibited;
        }
        const C before_spaces = non_space_class();
        if (before_spaces == C::OP) return A::Prohibited;                           // LB14: OP SP* ×
        if (before_spaces == C::QU && opens_quotation()) return A::Prohibited;      // LB15a
        if (ec == C::B2 && before_spaces == C::B2) return A::Prohibited;            // LB17: B2 SP* × B2
        if (ec == C::NS && in(before_spaces, CLOSE)) return A::Prohibited;          // LB16: (CL|CP) SP* × NS
        if (ec == C::QU && data::is_final_quote(c.cp) && closes_quotation(i))       // LB15b
            return A::Prohibited;
        if (rp == C::SP) return A::Allowed;                                         // LB18
        if (ec == C::QU && !data::is_initial_quote(c.cp)) return A::Prohibited;     // LB19: × QU
        if (ep == C::QU && !data::is_final_quote(ch_[p.base].cp))                   // LB19: QU ×
            return A::Prohibited;
        if (ec == C::QU) {
            // LB19a: an initial quote binds unless East Asian text is on both sides.
            if (!east_asian(ch_[p.base].cp) || i + 1 == n_ || !east_asian(ch_[i + 1].cp))
                return A::Prohibited;
        }
        if (ep == C::CB) return A::Allowed;                                         // LB20
        if (ep == C::QU) {
            // LB19a: a final quote binds unless East Asian text is on both sides.
            if (!east_asian(c.cp)) return A::Prohibited;
            if (p.base == 0 || !east_asian(ch_[p.base - 1].cp)) return A::Prohibited;
            if (in(ec, set_of(C::BA, C::HH, C::HY, C::NS))) return A::Prohibited;   // LB21
            if (ec == C::CB) return A::Allowed;                                     // LB20
            if (ec == C::IN) return A::Prohibited;                                  // LB22
            return from_lb25(i);
        }
        if (ec == C::CB) return A::Allowed;                                         // LB20
        if (in(ec, set_of(C::BA, C::HH, C::HY, C::NS))) return A::Prohibited;       // LB21
        if (in(ep, HYPHENS) && in(ec, ALPHA) &&                                     // LB20a
            (p.base == 0 ||
             in(ch_[p.base - 1].eff, set_of(C::BK, C::CR, C::GL, C::LF, C::NL, C::SP, C::ZW,
                                            C::CB, C::OP, C::QU))))
            return A::Prohibited;
        if (ep == C::BB) return A::Prohibited;                                      // LB21
        if (in(ep, HYPHENS) && p.base != 0 && ec != C::HL &&                        // LB21a
            ch_[p.base - 1].eff == C::HL)
            return A::Prohibited;
        if (ep == C::SY && ec == C::HL) return A::Prohibited;                       // LB21b
        if (ec == C::IN) return A::Prohibited;                                      // LB22
        if ((in(ep, ALPHA) && ec == C::NU) || (ep == C::NU && in(ec, ALPHA)))       // LB23
            return A::Prohibited;
        if ((ep == C::PR && in(ec, set_of(C::ID, C::EB, C::EM))) ||                 // LB23a
            (in(ep, set_of(C::ID, C::EB, C::EM)) && ec == C::PO))
            return A::Prohibited;
        if ((in(ep, PREFIX_POSTFIX) && in(ec, ALPHA)) ||                            // LB24
            (in(ep, ALPHA) && in(ec, PREFIX_POSTFIX)))
            return A::Prohibited;
        return from_lb25(i);
    }

    // LB15a: (sot | BK | CR | GL | LF | NL | SP | ZW | OP | QU) Pi CM* SP* ×,
    // for the quote nearest before the spaces (the caller checked it is QU).
    bool opens_quotation() const {
        const std::size_t b = ch_[non_space_].base;
        if (!data::is_initial_quote(ch_[b].cp)) return false;
        return b == 0 || in(ch_[b - 1].eff, set_of(C::BK, C::CR, C::GL, C::LF, C::NL, C::SP,
                                                   C::ZW, C::OP, C::QU));
    }

    // LB15b: × Pf (eot | BK | CR | GL | LF | NL | SP | WJ | ZW | CL | CP | EX | IS | QU | SY)
    bool closes_quotation(std::size_t i) const {
        if (i + 1 == n_) return true;
        return in(ch_[i + 1].cls, set_of(C::BK, C::CR, C::GL, C::LF, C::NL, C::SP, C::WJ, C::ZW,
                                         C::CL, C::CP, C::EX, C::IS, C::QU, C::SY));
    }

    // LB25 and the rules after it.
    BreakAction from_lb25(std::size_t i) const {
        const Char& p = ch_[i - 1];
        const Char& c = ch_[i];
        const C ep = p.eff, ec = c.eff;
        if (numeric_pair(i)) return A::Prohibited;                                  // LB25
        if ((ep == C::JL && in(ec, set_of(C::JL, C::JV, C::H2, C::H3))) ||          // LB26
            (in(ep, set_of(C::JV, C::H2)) && in(ec, set_of(C::JV, C::JT))) ||
            (in(ep, set_of(C::JT, C::H3)) && ec == C::JT))
            return A::Prohibited;
        constexpr ClassSet KOREAN = set_of(C::JL, C::JV, C::JT, C::H2, C::H3);
        if ((in(ep, KOREAN) && ec == C::PO) || (ep == C::PR && in(ec, KOREAN)))     // LB27
            return A::Prohibited;
        if (in(ep, ALPHA) && in(ec, ALPHA)) return A::Prohibited;                   // LB28
        if (aksara_pair(i)) return A::Prohibited;                                   // LB28a
        if (ep == C::IS && in(ec, ALPHA)) return A::Prohibited;                     // LB29
        if (in(ep, set_of(C::AL, C::HL, C::NU)) && ec == C::OP && !east_asian(c.cp))  // LB30
            return A::Prohibited;
        if (ep == C::CP && in(ec, set_of(C::AL, C::HL, C::NU)) &&                   // LB30
            !east_asian(ch_[p.base].cp))
            return A::Prohibited;
        if (ep == C::EB && ec == C::EM) return A::Prohibited;                       // LB30b
        if (ep == C::RI && ec == C::RI && ri_odd_prev_) return A::Prohibited;       // LB30a
        if (ec == C::EM && data::is_unassigned_pictographic(ch_[p.base].cp))        // LB30b
            return A::Prohibited;
        return A::Allowed;                                                          // LB31
    }

    // LB25: the pairs inside a number, with the look-back over SY and IS carried
    // forward (numeric_tail_prev_, numeric_tail_prev2_).
    bool numeric_pair(std::size_t i) const {
        const C ep = ch_[i - 1].eff, ec = ch_[i].eff;
        if (in(ep, PREFIX_POSTFIX)) {
            if (ec == C::NU) return true;                                           // (PR | PO) × NU
            if (ec == C::HY && i + 1 < n_ && ch_[i + 1].eff == C::NU) return true;  // (PR | PO) × HY NU
            if (ec == C::OP) {                                                      // (PR | PO) × OP SP* NU
                std::size_t j = i + 1;
                while (j < n_ && ch_[j].cls == C::SP) ++j;
                if (j < n_ && ch_[j].eff == C::NU) return true;
            }
        }
        if (in(ep, set_of(C::OP, C::HY)) && ec == C::NU) return true;               // (OP | HY) × NU
        if (ep == C::IS && ec == C::NU) return true;                                // IS × NU
        if (in(ec, set_of(C::NU, C::SY, C::IS, C::CL, C::CP)) && numeric_tail_prev_)  // NU (SY|IS)* × ...
            return true;
        if (in(ec, PREFIX_POSTFIX)) {                                               // NU (SY|IS)* (CL|CP)? × (PR|PO)
            if (in(ep, CLOSE) ? numeric_tail_prev2_ : numeric_tail_prev_) return true;
        }
        return false;
    }

    bool aksara_like(std::size_t k) const {
        return in(ch_[k].eff, AK_AS) || ch_[ch_[k].base].cp == DOTTED_CIRCLE;
    }

    // The code point before base(k), marks skipped, is AK, AS or U+25CC.
    bool aksara_before_base(std::size_t k) const {
        const std::size_t b = ch_[k].base;
        if (b == 0) return false;
        return in(ch_[b - 1].eff, AK_AS) || ch_[ch_[b - 1].base].cp == DOTTED_CIRCLE;
    }

    // LB28a: the orthographic syllables of Brahmic scripts.
    bool aksara_pair(std::size_t i) const {
        const C ep = ch_[i - 1].eff, ec = ch_[i].eff;
        const bool left = aksara_like(i - 1);
        const bool right = aksara_like(i);
        if (ep == C::AP && right) return true;                                      // AP × (AK | ◌ | AS)
        if (ep == C::VI && (right || ec == C::VF) && aksara_before_base(i - 1))     // (AK | ◌ | AS) VI × (AK | ◌ | AS), × VF
            return true;
        if (left && right) {                                                        // (AK | ◌ | AS) × (AK | ◌ | AS) VF
            std::size_t j = i + 1;
            while (j < n_ && in(ch_[j].cls, MARKS)) ++j;
            if (j < n_ && ch_[j].eff == C::VF) return true;
        }
        return left && in(ec, set_of(C::VF, C::VI));                                // (AK | ◌ | AS) × (VF | VI)
    }
};

}  // namespace

std::vector<BreakAction> line_break_actions(std::string_view text) {
    std::vector<BreakAction> actions(text.size() + 1, A::Prohibited);
    if (text.empty()) {
        actions[0] = A::Mandatory;
        return actions;
    }
    actions[text.size()] = A::Mandatory;  // LB3; offset 0 stays Prohibited (LB2)

    // Classes, with LB9 and LB10 applied as they are read.
    std::vector<Char> chars;
    chars.reserve(text.size());
    std::size_t base = ~std::size_t(0);
    for (utf8::Decoder d(text); !d.done();) {
        const std::size_t offset = d.offset();
        const char32_t cp = d.next();
        const C cls = data::line_break_class(cp);
        Char c{offset, cp, cls, cls, 0};
        if (!in(cls, MARKS)) {
            base = chars.size();
            c.base = base;
        } else if (base == ~std::size_t(0)) {
            c.eff = C::AL;  // LB10: marks at the start of the text
        } else {
            c.base = base;
            const C base_cls = chars[base].cls;
            c.eff = in(base_cls, NO_ATTACH) ? C::AL : base_cls;  // LB9, LB10
        }
        chars.push_back(c);
    }
    if (chars.size() == 1) return actions;

    PairRules rules(chars);
    for (std::size_t i = 1; i < chars.size(); ++i) actions[chars[i].offset] = rules.decide(i);
    return actions;
}

std::vector<Opportunity> opportunities_from_actions(const std::vector<BreakAction>& actions) {
    std::vector<Opportunity> out;
    for (std::size_t i = 0; i < actions.size(); ++i)
        if (actions[i] != A::Prohibited) out.emplace_back(i, actions[i]);
    return out;
}

std::vector<Opportunity> line_break_opportunities(std::string_view text) {
    return opportunities_from_actions(line_break_actions(text));
}

}  // namespace scrivlet::linebreak
