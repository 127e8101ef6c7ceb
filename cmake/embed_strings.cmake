# Turns a pair of string tables into one C++ source with raw string literals, named
# japaneseStringTable and englishStringTable, or with PREFIX (say "linux")
# linuxJapaneseStringTable and linuxEnglishStringTable.
file(READ ${JA} ja_table)
file(READ ${EN} en_table)
if(PREFIX)
  set(ja_name "${PREFIX}JapaneseStringTable")
  set(en_name "${PREFIX}EnglishStringTable")
else()
  set(ja_name "japaneseStringTable")
  set(en_name "englishStringTable")
endif()
set(delim "QUILLON_STRINGS")
file(WRITE ${OUT} "// Generated from a pair of Localizable.strings tables; do not edit.\n"
  "#include <string_view>\nnamespace quillon::embedded {\n"
  "extern const std::string_view ${ja_name};\n"
  "extern const std::string_view ${en_name};\n"
  "const std::string_view ${ja_name} = R\"${delim}(${ja_table})${delim}\";\n"
  "const std::string_view ${en_name} = R\"${delim}(${en_table})${delim}\";\n}\n")
