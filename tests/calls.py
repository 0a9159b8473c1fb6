"""One representative call of every function, on a success path and on each
of its error paths, shared by the leak, thread and memcheck checks."""

import scrivlet

SAMPLE = (
    "Hello, world! Grüße e\u0301 東京 👨\u200d👩\u200d👧 🇯🇵 שלום 123 مرحبا (a) "
    "ภาษาไทยไม่มี ខ្មែរ ΣΑΣ İ ß \u202bx\u202c \u2068y\u2069.\n"
)

ONE_ARG = [
    "grapheme_boundaries", "normalize_nfc", "normalize_nfd", "normalize_nfkc", "normalize_nfkd",
    "bidi_resolve", "line_break_opportunities", "line_break_opportunities_with_dictionary",
    "to_titlecase", "case_fold", "case_fold_simple", "display_width",
]
LOCALE = ["word_boundaries", "sentence_boundaries", "to_lowercase", "to_uppercase"]
OFFSET = ["move_right", "move_left", "move_right_visual", "move_left_visual", "select_word"]


def success_calls(text=SAMPLE):
    """(name, args, kwargs) for every function on a valid input."""
    calls = [(n, (text,), {}) for n in ONE_ARG]
    calls += [(n, (text, "tr"), {}) for n in LOCALE]
    calls += [(n, (text, 7), {}) for n in OFFSET]
    calls += [("truncate_graphemes", (text, 5), {}), ("truncate_display_width", (text, 9), {})]
    return calls


class BadIndex:
    def __index__(self):
        raise TypeError("no index")


def error_calls(text=SAMPLE):
    """(name, args, kwargs, exception type) for every error path of every function."""
    calls = []
    for name, args, _ in success_calls(text):
        calls += [
            (name, (), {}, TypeError),  # missing arguments
            (name, args + ("x", "y"), {}, TypeError),  # too many
            (name, args, {"bogus": 1}, TypeError),  # unknown keyword
            (name, args, {"text": text}, TypeError),  # given twice
            (name, (b"bytes",) + args[1:], {}, TypeError),  # not a str
            (name, ("a\ud800",) + args[1:], {}, UnicodeEncodeError),  # lone surrogate
        ]
        if len(args) == 2 and isinstance(args[1], str):
            calls.append((name, (text, 5), {}, TypeError))  # locale not a str
        if len(args) == 2 and isinstance(args[1], int):
            calls += [
                (name, (text, -1), {}, OverflowError),
                (name, (text, 1.5), {}, TypeError),
                (name, (text, BadIndex()), {}, TypeError),
            ]
    return calls


def call(name, args, kwargs):
    return getattr(scrivlet, name)(*args, **kwargs)
