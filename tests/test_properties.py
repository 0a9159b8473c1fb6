"""Cross-function invariants over random text (hypothesis)."""

import unicodedata

from hypothesis import given, settings
from hypothesis import strategies as st

import scrivlet

# Text from the whole code space except surrogates (which no str can encode).
any_text = st.text(st.characters(blacklist_categories=("Cs",)), max_size=60)
# Text dense in the characters the algorithms treat specially.
SPECIAL = (
    "a Z 0 9 . , ; : ! ? ' \" ( ) [ ] « » - – / % $ \t \n \r \u0301 \u0308 \u200d \u200c \u200b \u00a0 "
    "\u094d \u0915 \u0937 \u093e \u0600 \u1100 \u1161 \u11a8 \uac00 \uac01 \U0001F1E6 \U0001F1E7 "
    "\U0001F600 \U0001F3FD \u2640 \u05d0 \u05d1 \u0627 \u0661 \u202a \u202b \u202c \u202d \u202e "
    "\u2066 \u2067 \u2068 \u2069 \u200e \u200f \u0e01 \u0e32 \u0e40 \u1780 \u17d2 \u1000 \u0e81 "
    "\u3002 \u65e5 \uff01 \u03a3 \u0130 \u0049 \u0069 \u00df \ufb01 \u1e9e \u0345 \u2028 \u2029"
).split(" ")
special_text = st.lists(st.sampled_from(SPECIAL + [" "]), max_size=40).map("".join)
texts = st.one_of(any_text, special_text)
offsets = st.integers(min_value=0, max_value=200)


def utf8_len(text):
    return len(text.encode())


def starts_and_end(text):
    return scrivlet.grapheme_boundaries(text) + [utf8_len(text)]


@settings(max_examples=300, deadline=None)
@given(texts)
def test_boundary_lists_are_ascending_code_point_starts(text):
    data = text.encode()
    for name in ("grapheme_boundaries", "word_boundaries", "sentence_boundaries"):
        b = getattr(scrivlet, name)(text)
        if name != "grapheme_boundaries" or text:
            assert b[0] == 0, name
        assert b == sorted(set(b)), name
        assert all(o < len(data) and (data[o] & 0xC0) != 0x80 for o in b if data), name


@settings(max_examples=300, deadline=None)
@given(texts, offsets)
def test_move_right_then_left_returns_to_a_cluster_start(text, current):
    edges = starts_and_end(text)
    right = scrivlet.move_right(text, current)
    assert right in edges
    back = scrivlet.move_left(text, right)
    assert back in edges
    if current in edges and current < utf8_len(text):
        assert back == current


@settings(max_examples=300, deadline=None)
@given(texts)
def test_truncating_to_the_cluster_count_gives_the_text_back(text):
    count = len(scrivlet.grapheme_boundaries(text))
    assert scrivlet.truncate_graphemes(text, count) == text
    width = scrivlet.display_width(text)
    # A limit of 0 keeps nothing, even a text whose clusters all have width 0.
    assert scrivlet.truncate_display_width(text, width) == (text if width else "")


@settings(max_examples=300, deadline=None)
@given(texts, st.integers(min_value=0, max_value=50))
def test_truncations_are_cluster_prefixes_within_their_limits(text, limit):
    edges = starts_and_end(text)
    by_count = scrivlet.truncate_graphemes(text, limit)
    by_width = scrivlet.truncate_display_width(text, limit)
    for cut in (by_count, by_width):
        assert text.startswith(cut)
        assert utf8_len(cut) in edges
    assert len(scrivlet.grapheme_boundaries(by_count)) == min(limit, len(edges) - 1)
    assert scrivlet.display_width(by_width) <= limit


@settings(max_examples=300, deadline=None)
@given(texts)
def test_select_word_ranges_tile_the_text(text):
    end = utf8_len(text)
    position, ranges = 0, []
    while position < end:
        start, stop = scrivlet.select_word(text, position)
        assert start == position < stop <= end
        ranges.append((start, stop))
        position = stop
    bounds = scrivlet.word_boundaries(text)
    assert [a for a, _ in ranges] == (bounds if text else [])


@settings(max_examples=300, deadline=None)
@given(texts)
def test_normalization_forms_are_idempotent_and_consistent(text):
    nfc, nfd = scrivlet.normalize_nfc(text), scrivlet.normalize_nfd(text)
    nfkc, nfkd = scrivlet.normalize_nfkc(text), scrivlet.normalize_nfkd(text)
    assert scrivlet.normalize_nfc(nfc) == nfc
    assert scrivlet.normalize_nfd(nfd) == nfd
    assert scrivlet.normalize_nfkc(nfkc) == nfkc
    assert scrivlet.normalize_nfkd(nfkd) == nfkd
    assert scrivlet.normalize_nfc(nfd) == nfc
    assert scrivlet.normalize_nfkc(nfkd) == nfkc


@settings(max_examples=300, deadline=None)
@given(st.text(st.characters(blacklist_categories=("Cs", "Cn")), max_size=40))
def test_normalization_agrees_with_unicodedata_on_characters_it_knows(text):
    # Restricted to characters assigned in the interpreter's own (older) Unicode.
    if any(unicodedata.category(c) == "Cn" for c in text):
        return
    for form in ("NFC", "NFD", "NFKC", "NFKD"):
        assert getattr(scrivlet, "normalize_" + form.lower())(text) == unicodedata.normalize(form, text), form


@settings(max_examples=300, deadline=None)
@given(texts)
def test_simple_case_fold_keeps_the_code_point_count(text):
    assert len(scrivlet.case_fold_simple(text)) == len(text)


@settings(max_examples=300, deadline=None)
@given(texts)
def test_bidi_visual_order_is_a_permutation_of_kept_code_points(text):
    result = scrivlet.bidi_resolve(text)
    levels = result["levels"]
    assert len(levels) == len(text)
    kept = [i for i, level in enumerate(levels) if level != 255]
    assert sorted(result["reorder"]) == kept
    assert all(level <= 126 for level in levels if level != 255)


@settings(max_examples=300, deadline=None)
@given(texts, offsets)
def test_visual_moves_land_on_cluster_edges(text, current):
    edges = starts_and_end(text)
    assert scrivlet.move_left_visual(text, current) in edges
    assert scrivlet.move_right_visual(text, current) in edges


@settings(max_examples=300, deadline=None)
@given(texts)
def test_line_breaks_end_with_a_mandatory_break_and_keep_it_with_dictionary(text):
    plain = scrivlet.line_break_opportunities(text)
    refined = scrivlet.line_break_opportunities_with_dictionary(text)
    if text:
        assert plain[-1] == (utf8_len(text), "mandatory")
    for ops in (plain, refined):
        assert [o for o, _ in ops] == sorted({o for o, _ in ops})
        assert {a for _, a in ops} <= {"mandatory", "allowed"}
    assert [o for o, a in plain if a == "mandatory"] == [o for o, a in refined if a == "mandatory"]


# Letters and marks of the four dictionary scripts, joiners, digits and Latin.
SEA = (
    "\u0e01 \u0e19 \u0e32 \u0e31 \u0e34 \u0e48 \u0e49 \u0e40 \u0e33 \u0e51 "  # Thai
    "\u0e81 \u0e99 \u0eb2 \u0eb1 \u0ec8 \u0ec0 \u0ed1 "  # Lao
    "\u1780 \u179f \u17d2 \u17b6 \u17c1 \u17c6 \u17e1 "  # Khmer
    "\u1000 \u1001 \u1039 \u103a \u102c \u1031 \u1038 \u1041 "  # Myanmar
    "\u200c \u200d \u0301 a Z 4 . \u0020"
).split(" ") + [" "]


@settings(max_examples=400, deadline=None)
@given(st.lists(st.sampled_from(SEA), max_size=40).map("".join))
def test_dictionary_breaks_fall_on_cluster_boundaries(text):
    plain = set(scrivlet.line_break_opportunities(text))
    starts = set(starts_and_end(text))
    for entry in scrivlet.line_break_opportunities_with_dictionary(text):
        assert entry in plain or entry[0] in starts, entry
