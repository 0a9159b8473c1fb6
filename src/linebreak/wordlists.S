// The four word lists, embedded byte for byte, back to back in the order
// Khmer, Myanmar, Lao, Thai, followed by an index of (offset, length) pairs
// in language order (Thai, Lao, Khmer, Myanmar). The build passes this
// directory to the assembler as an include path, so .incbin finds the lists
// from any build directory.

#if defined(__APPLE__)
#define SYM(name) _##name
#define RODATA .section __TEXT,__const
#define HIDDEN .private_extern
#else
#define SYM(name) name
#define RODATA .section .rodata
#define HIDDEN .hidden
#endif

    RODATA

    .globl SYM(scrivlet_wordlists)
    HIDDEN SYM(scrivlet_wordlists)
SYM(scrivlet_wordlists):
khmer_begin:
    .incbin "khmer.txt"
myanmar_begin:
    .incbin "myanmar.txt"
lao_begin:
    .incbin "lao.txt"
thai_begin:
    .incbin "thai.txt"
lists_end:

    .balign 8
    .globl SYM(scrivlet_wordlist_index)
    HIDDEN SYM(scrivlet_wordlist_index)
SYM(scrivlet_wordlist_index):
    .quad thai_begin - khmer_begin, lists_end - thai_begin
    .quad lao_begin - khmer_begin, thai_begin - lao_begin
    .quad 0, myanmar_begin - khmer_begin
    .quad myanmar_begin - khmer_begin, lao_begin - myanmar_begin

#if defined(__linux__) && defined(__ELF__)
    .section .note.GNU-stack,"",%progbits
#endif
