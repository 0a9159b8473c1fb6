"""A tour of scrivlet over a small multilingual sample.

Every position scrivlet takes or returns is a byte offset into the text's UTF-8
form, not a str index; the segmentation lines below show the pieces between
those offsets. In the bidi lines, "levels" holds one embedding level per code
point (even: left-to-right, odd: right-to-left, 255: a character the bidi
algorithm removes, such as U+200B), and "visual order" the code points as they
are displayed, left to right.
"""

import scrivlet

SAMPLE = {
    "English": "Hello, world! It's 3.14 o'clock.",
    "German": "Grüße aus Köln. Straße!",
    "Hindi": "नमस्ते दुनिया",
    "Japanese": "東京都の天気は晴れ。",
    "Hebrew + digits": "שלום 123 עולם",
    "Arabic": "مرحبا بالعالم",
    "Thai": "ภาษาไทยไม่มีช่องว่างระหว่างคำ",
    "Emoji": "👨‍👩‍👧 family, 👍🏽 and 🇯🇵",
    "Turkish": "İstanbul ILIK",
    "Decomposed": "e\u0301le\u0300ve",
}


def pieces(text, offsets):
    data = text.encode()
    bounds = list(offsets) + [len(data)]
    return [data[a:b].decode() for a, b in zip(bounds, bounds[1:])]


def show(title, fn):
    print(f"  {title:<34} {fn()}")


def main():
    print(__doc__)
    for name, text in SAMPLE.items():
        print(f"{name}: {text!r}")
        show("grapheme clusters", lambda: pieces(text, scrivlet.grapheme_boundaries(text)))
        show("words", lambda: pieces(text, scrivlet.word_boundaries(text)))
        show("sentences", lambda: pieces(text, scrivlet.sentence_boundaries(text)))
        show("display width", lambda: scrivlet.display_width(text))
        show("truncated to 8 cells", lambda: scrivlet.truncate_display_width(text, 8))
        show("first 3 clusters", lambda: scrivlet.truncate_graphemes(text, 3))
        show("line breaks (byte offset, action)", lambda: scrivlet.line_break_opportunities(text))
        show("  ... with the dictionaries", lambda: scrivlet.line_break_opportunities_with_dictionary(text))
        show("bidi levels (per code point)", lambda: list(scrivlet.bidi_resolve(text)["levels"]))
        show("visual order (display)", lambda: "".join(text[i] for i in scrivlet.bidi_resolve(text)["reorder"]))
        show("NFC / NFD lengths", lambda: (len(scrivlet.normalize_nfc(text)), len(scrivlet.normalize_nfd(text))))
        show("NFKC", lambda: scrivlet.normalize_nfkc(text))
        show("upper", lambda: scrivlet.to_uppercase(text))
        show("lower (tr)", lambda: scrivlet.to_lowercase(text, "tr"))
        show("title", lambda: scrivlet.to_titlecase(text))
        show("case fold", lambda: scrivlet.case_fold(text))
        show("caret right from byte 0", lambda: scrivlet.move_right(text, 0))
        show("  ... visual, from byte 0", lambda: scrivlet.move_right_visual(text, 0))
        show("word at byte 1 (byte range)", lambda: scrivlet.select_word(text, 1))
        print()


if __name__ == "__main__":
    main()
