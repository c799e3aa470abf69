# SPDX-License-Identifier: MIT
# Turns the EFF's long word list ("11111<TAB>abacus" lines) into a C++ array, so that genkey
# needs no file at run time. Run as cmake -DIN=list -DOUT=file.cpp -P EmbedWords.cmake.
file(STRINGS "${IN}" _lines)
set(_body "")
set(_count 0)
foreach(_line IN LISTS _lines)
  if(NOT _line MATCHES "^[1-6][1-6][1-6][1-6][1-6]\t([a-z-]+)$")
    message(FATAL_ERROR "${IN}: not a word list line: '${_line}'")
  endif()
  string(APPEND _body "    \"${CMAKE_MATCH_1}\",\n")
  math(EXPR _count "${_count} + 1")
endforeach()
if(NOT _count EQUAL 7776)
  message(FATAL_ERROR "${IN}: ${_count} words, not 7776")
endif()
file(WRITE "${OUT}.tmp"
     "// Made from ${IN} by EmbedWords.cmake.\n#include <cstdint>\n"
     "extern const char* const EffWords[];\nextern const uint32_t EffWordCount;\n"
     "const char* const EffWords[] = {\n${_body}};\nconst uint32_t EffWordCount = ${_count};\n")
file(RENAME "${OUT}.tmp" "${OUT}")
