# Turns the two string tables into one C++ source with raw string literals.
file(READ ${JA} ja_table)
file(READ ${EN} en_table)
set(delim "QUILLON_STRINGS")
file(WRITE ${OUT} "// Generated from resources/*.lproj/Localizable.strings; do not edit.\n"
  "#include <string_view>\nnamespace quillon::embedded {\n"
  "extern const std::string_view japaneseStringTable;\n"
  "extern const std::string_view englishStringTable;\n"
  "const std::string_view japaneseStringTable = R\"${delim}(${ja_table})${delim}\";\n"
  "const std::string_view englishStringTable = R\"${delim}(${en_table})${delim}\";\n}\n")
