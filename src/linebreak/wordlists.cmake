# Writes the word lists as one C++ array, for toolchains whose assembler cannot
# take wordlists.S (MSVC). Same symbols and layout as wordlists.S: the lists back
# to back in the order Khmer, Myanmar, Lao, Thai, then an index of (offset,
# length) pairs in language order (Thai, Lao, Khmer, Myanmar).
#   cmake -DWORDLIST_DIR=<dir with the .txt lists> -DOUTPUT=<file.cpp> -P wordlists.cmake

foreach(var WORDLIST_DIR OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "wordlists.cmake needs -D${var}=...")
  endif()
endforeach()

set(body "")
set(offset 0)
foreach(name khmer myanmar lao thai)
  set(file ${WORDLIST_DIR}/${name}.txt)
  file(SIZE ${file} size)
  set(${name}_offset ${offset})
  set(${name}_size ${size})
  math(EXPR offset "${offset} + ${size}")
  file(READ ${file} hex HEX)
  # 32 bytes to a line, each byte as a character literal: no narrowing whatever
  # the signedness of char, and no line or string literal too long for a compiler.
  string(REGEX REPLACE "(................................................................)" "\\1\n" hex "${hex}")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," hex "${hex}")
  string(APPEND body "// ${name}.txt, ${size} bytes\n${hex}\n")
endforeach()

file(WRITE ${OUTPUT} "// Written by src/linebreak/wordlists.cmake from the word lists; do not edit.
#include <cstdint>

extern \"C\" const char scrivlet_wordlists[] = {
${body}};

extern \"C\" const std::uint64_t scrivlet_wordlist_index[8] = {
    ${thai_offset}, ${thai_size},
    ${lao_offset}, ${lao_size},
    ${khmer_offset}, ${khmer_size},
    ${myanmar_offset}, ${myanmar_size},
};
")
