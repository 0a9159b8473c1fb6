// Normalization: every form is idempotent and well-formed, NFC(NFD(x)) = NFC(x),
// NFKC(NFKD(x)) = NFKC(x), and the canonical forms agree with each other.
#include "fuzz_common.h"
#include "normalize/mod.h"

using namespace scrivlet::normalize;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = fuzz::to_utf8(data, size);
    const std::string nfc = normalize_nfc(text), nfd = normalize_nfd(text);
    const std::string nfkc = normalize_nfkc(text), nfkd = normalize_nfkd(text);
    for (const std::string* s : {&nfc, &nfd, &nfkc, &nfkd})
        fuzz::check(fuzz::to_utf8(reinterpret_cast<const std::uint8_t*>(s->data()), s->size()) == *s,
                    "normalized text is well-formed UTF-8", text);
    fuzz::check(normalize_nfc(nfc) == nfc, "NFC idempotent", text);
    fuzz::check(normalize_nfd(nfd) == nfd, "NFD idempotent", text);
    fuzz::check(normalize_nfkc(nfkc) == nfkc, "NFKC idempotent", text);
    fuzz::check(normalize_nfkd(nfkd) == nfkd, "NFKD idempotent", text);
    fuzz::check(normalize_nfc(nfd) == nfc, "NFC(NFD(x)) = NFC(x)", text);
    fuzz::check(normalize_nfd(nfc) == nfd, "NFD(NFC(x)) = NFD(x)", text);
    fuzz::check(normalize_nfkc(nfkd) == nfkc, "NFKC(NFKD(x)) = NFKC(x)", text);
    return 0;
}
