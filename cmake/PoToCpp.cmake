# Turns a gettext catalog into a C++ table of source and translated texts.
# Usage: cmake -DPO=po/en.po -DOUT=catalog.cpp -DFUNCTION=EnglishCatalog -P PoToCpp.cmake
#
# The texts stay in their quoted form: the escapes of a .po file are those of C, so each quoted
# piece goes into the C++ source as it stands. Entries without a translation and the header
# entry are left out, so a missing English text is a missing entry, which a test reports.

cmake_minimum_required(VERSION 3.25)

foreach(var PO OUT FUNCTION)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "PoToCpp.cmake needs -D${var}=...")
  endif()
endforeach()

file(READ "${PO}" text)
set(entries "")
set(field "")
set(msgid "")
set(msgstr "")
set(lineNumber 0)

# Ends the entry read so far: kept when it has both a source text and a translation.
macro(finish_entry)
  if(NOT msgid STREQUAL "" AND NOT msgid STREQUAL "\"\"" AND NOT msgstr STREQUAL ""
     AND NOT msgstr STREQUAL "\"\"")
    string(APPEND entries "        {${msgid},\n         ${msgstr}},\n")
  endif()
  set(msgid "")
  set(msgstr "")
  set(field "")
endmacro()

while(NOT text STREQUAL "")
  string(FIND "${text}" "\n" newline)
  if(newline EQUAL -1)
    set(line "${text}")
    set(text "")
  else()
    string(SUBSTRING "${text}" 0 ${newline} line)
    math(EXPR next "${newline} + 1")
    string(SUBSTRING "${text}" ${next} -1 text)
  endif()
  math(EXPR lineNumber "${lineNumber} + 1")
  string(REGEX REPLACE "\r$" "" line "${line}")

  if(line MATCHES "^[ \t]*$" OR line MATCHES "^#")
    if(NOT field STREQUAL "" AND line MATCHES "^[ \t]*$")
      finish_entry()
    endif()
    continue()
  endif()
  if(line MATCHES "^msgid[ \t]+(\".*\")[ \t]*$")
    finish_entry()
    set(field msgid)
    set(msgid "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^msgstr[ \t]+(\".*\")[ \t]*$")
    if(NOT field STREQUAL "msgid")
      message(FATAL_ERROR "${PO}:${lineNumber}: msgstr without msgid")
    endif()
    set(field msgstr)
    set(msgstr "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^[ \t]*(\".*\")[ \t]*$")
    if(field STREQUAL "")
      message(FATAL_ERROR "${PO}:${lineNumber}: text outside an entry")
    endif()
    string(APPEND ${field} "\n         ${CMAKE_MATCH_1}")
  else()
    message(FATAL_ERROR "${PO}:${lineNumber}: not understood (only msgid and msgstr are supported): ${line}")
  endif()
endwhile()
finish_entry()

if(entries STREQUAL "")
  set(body "    return {};\n")
else()
  set(body "    static constexpr CatalogEntry kEntries[] = {\n${entries}    };\n    return kEntries;\n")
endif()

get_filename_component(poName "${PO}" NAME)
set(source "// Generated from ${poName} by PoToCpp.cmake: edit the catalog, not this file.
#include \"platform/Translation.h\"

namespace stowra {

std::span<const CatalogEntry> ${FUNCTION}() {
${body}}

}  // namespace stowra
")

# Rewritten only when it changes, so an unchanged catalog rebuilds nothing.
set(old "")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL source)
  file(WRITE "${OUT}" "${source}")
endif()
