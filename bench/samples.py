"""Benchmark inputs shared by every group: short strings, where call overhead
dominates, and texts of about 1 MB in several scripts."""

LATIN = (
    "The quick brown fox jumps over the lazy dog. Pack my box with five dozen liquor jugs! "
    "Grüße aus Köln: naïve café, façade, smörgåsbord. How vexingly quick daft zebras jump; "
    "sphinx of black quartz, judge my vow (1,234.56 units, 78% done). "
)
CJK = (
    "日本語のテキストは単語の間に空白を入れない。東京都の天気は晴れ、気温は２３度です。"
    "中文文本也是如此，标点符号是全角的。한국어는 띄어쓰기를 한다. "
)
ARABIC_HEBREW = (
    "مرحبا بالعالم، هذا نص عربي مع أرقام 123 و English words. "
    "שלום עולם, זהו טקסט בעברית עם מספרים 456 ו-Latin. "
)
DEVANAGARI = "नमस्ते दुनिया। यह हिन्दी में लिखा गया एक वाक्य है, जिसमें संयुक्ताक्षर क्ष त्र ज्ञ हैं। "
THAI = "ภาษาไทยไม่มีช่องว่างระหว่างคำ แต่มีช่องว่างระหว่างประโยค สวัสดีครับ ขอบคุณมาก "
EMOJI = "👍🏽 👨‍👩‍👧‍👦 🇯🇵🇫🇷 ❤️ 🏳️‍🌈 party 🎉🎉 ok 👩🏾‍💻 😀😃😄 "

# Plain English (ASCII) and one line of every script above, for the groups
# that build their own inputs from a unit.
ENGLISH = (
    "The quick brown fox jumps over the lazy dog. Pack my box with five dozen liquor jugs! "
    "How vexingly quick daft zebras jump; sphinx of black quartz, judge my vow. "
)
MIXED = "Grüße aus Köln — naïve café, " + CJK + ARABIC_HEBREW + DEVANAGARI + THAI + EMOJI

MB = 1 << 20


def _about(text, size):
    return text * max(1, size // len(text.encode()))


SHORT = {
    "ASCII, 12 chars": "Hello world!",
    "Latin, 60 chars": "Grüße aus Köln: naïve café, façade — smörgåsbord at 9:30.",
    "mixed, 20 chars": "Grüße 東京 👍🏽 שלום!",
}
LONG = {
    "Latin, 1 MB": _about(LATIN, MB),
    "CJK, 1 MB": _about(CJK, MB),
    "Arabic+Hebrew, 1 MB": _about(ARABIC_HEBREW, MB),
    "Devanagari, 1 MB": _about(DEVANAGARI, MB),
    "Thai, 1 MB": _about(THAI, MB),
    "emoji, 1 MB": _about(EMOJI, MB),
}
SAMPLES = {**SHORT, **LONG}
