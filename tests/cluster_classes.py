"""One character of each grapheme cluster class, plus the Balinese Linker
(which joins any consonant), for tests that try every short sequence of classes."""

CLASS_CHARS = [
    "a",
    "\r",
    "\n",
    "\x07",
    "\u0308",
    "\u200d",
    "\U0001f1e6",
    "\u0600",
    "\u0903",
    "\u1100",
    "\u1161",
    "\u11a8",
    "\uac00",
    "\uac01",
    "\U0001f600",
    "\u0915",
    "\u094d",
    "\u1b44",
]
