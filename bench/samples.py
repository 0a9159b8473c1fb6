"""Benchmark inputs shared by every group: short strings and longer multilingual texts."""

ENGLISH = (
    "The quick brown fox jumps over the lazy dog. Pack my box with five dozen liquor jugs! "
    "How vexingly quick daft zebras jump; sphinx of black quartz, judge my vow. "
)
MIXED = (
    "Grüße aus Köln — naïve café, 東京都の天気は晴れ、気温は２３度です。"
    "Привет, мир! مرحبا بالعالم 123. שלום עולם. 👍🏽 👨‍👩‍👧 🇯🇵 नमस्ते दुनिया. "
)
CJK = "日本語のテキストは単語の間に空白を入れない。中文文本也是如此，标点符号是全角的。한국어는 띄어쓰기를 한다. "

SAMPLES = {
    "ASCII, 12 chars": "Hello world!",
    "mixed, 12 chars": "Grüße 東京 👍🏽!",
    "English, 16 KB": ENGLISH * (16384 // len(ENGLISH)),
    "CJK, 16 KB": CJK * (16384 // len(CJK.encode())),
    "mixed scripts, 16 KB": MIXED * (16384 // len(MIXED.encode())),
}
