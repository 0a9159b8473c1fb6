// The four word lists, embedded byte for byte, back to back in the order
// Khmer, Myanmar, Lao, Thai, followed by an index of (offset, length) pairs
// in language order (Thai, Lao, Khmer, Myanmar). The build passes this
// directory to the assembler as an include path, so .incbin finds the lists
// from any build directory. Toolchains without a GNU-style assembler build
// the same symbols from wordlists.cmake instead.

#if defined(__APPLE__)
#define SYM(name) _##name
#define RODATA .section __TEXT,__const
#define HIDDEN .private_extern
#elif defined(_WIN32)
// PE/COFF has no symbol visibility (a DLL exports only what is marked for it),
// so HIDDEN repeats .globl; 32-bit x86 prefixes C names with an underscore.
#if defined(__i386__)
#define SYM(name) _##name
#else
#define SYM(name) name
#endif
#define RODATA .section .rdata,"dr"
#define HIDDEN .globl
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
