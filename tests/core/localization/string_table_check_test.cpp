// Every text that the code passes through LocalizedText must have an entry in both
// string tables, and both tables must be well-formed and agree with each other. The
// tables are compiled into the program, so a missing or broken entry would otherwise
// show up only as an untranslated (or, for a malformed table, fatal) text at run time.

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/localization/l10n.h"
#include "core/localization/localized_text.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

std::string fileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The source with comments blanked out; string and character literals are kept as
// they are (a "//" inside a literal is not a comment).
std::string withoutComments(const std::string& source) {
  std::string out = source;
  enum class State { code, lineComment, blockComment, string, character } state = State::code;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const char c = out[i];
    const char next = i + 1 < out.size() ? out[i + 1] : '\0';
    switch (state) {
      case State::code:
        if (c == '/' && next == '/') {
          state = State::lineComment;
          out[i] = ' ';
        } else if (c == '/' && next == '*') {
          state = State::blockComment;
          out[i] = ' ';
          out[++i] = ' ';
        } else if (c == '"') {
          state = State::string;
        } else if (c == '\'' && !(i > 0 && std::isxdigit(static_cast<unsigned char>(out[i - 1])))) {
          state = State::character;  // not a digit separator as in 16'384
        }
        break;
      case State::lineComment:
        if (c == '\n') {
          state = State::code;
        } else {
          out[i] = ' ';
        }
        break;
      case State::blockComment:
        if (c == '*' && next == '/') {
          state = State::code;
          out[i] = ' ';
          out[++i] = ' ';
        } else if (c != '\n') {
          out[i] = ' ';
        }
        break;
      case State::string:
      case State::character:
        if (c == '\\') {
          ++i;
        } else if ((state == State::string && c == '"') || (state == State::character && c == '\'')) {
          state = State::code;
        }
        break;
    }
  }
  return out;
}

// Reads one or more adjacent string literals starting at `at` (whitespace allowed
// between them, as the compiler concatenates them). None when no literal starts there.
std::optional<std::string> literalAt(const std::string& code, std::size_t at) {
  std::optional<std::string> value;
  std::size_t i = at;
  while (true) {
    while (i < code.size() && std::isspace(static_cast<unsigned char>(code[i])) != 0) ++i;
    if (code.compare(i, 2, "u8") == 0 && i + 2 < code.size() && code[i + 2] == '"') i += 2;
    if (i >= code.size() || code[i] != '"') return value;
    std::string part;
    for (++i; i < code.size() && code[i] != '"'; ++i) {
      if (code[i] != '\\') {
        part.push_back(code[i]);
        continue;
      }
      switch (code[++i]) {
        case 'n': part.push_back('\n'); break;
        case 't': part.push_back('\t'); break;
        case '"': part.push_back('"'); break;
        case '\'': part.push_back('\''); break;
        case '\\': part.push_back('\\'); break;
        default: ADD_FAILURE() << "unsupported escape in a localized text: \\" << code[i]; break;
      }
    }
    ++i;
    value = value.value_or("") + part;
  }
}

// The key LocalizedText computes for `pattern`, through LocalizedText itself.
std::string keyOfPattern(const std::string& pattern) {
  std::size_t markers = 0;
  for (auto at = pattern.find("{}"); at != std::string::npos; at = pattern.find("{}", at + 2)) ++markers;
  switch (markers) {
    case 0: return LocalizedText::format(pattern).key();
    case 1: return LocalizedText::format(pattern, "a").key();
    case 2: return LocalizedText::format(pattern, "a", "b").key();
    case 3: return LocalizedText::format(pattern, "a", "b", "c").key();
    case 4: return LocalizedText::format(pattern, "a", "b", "c", "d").key();
    case 5: return LocalizedText::format(pattern, "a", "b", "c", "d", "e").key();
  }
  ADD_FAILURE() << "more interpolations than the check knows: " << pattern;
  return pattern;
}

struct UsedText {
  std::string key;
  std::string where;
};

// The keys of every LocalizedText("...") and LocalizedText::format("...", ...) whose
// text is a literal.
std::vector<UsedText> localizedKeysIn(const std::string& source, const std::string& fileName) {
  const std::string code = withoutComments(source);
  static const std::regex call(R"(\bLocalizedText\s*(::\s*format\s*)?\(|\bLocalizedText\s+\w+\s*[({])");
  std::vector<UsedText> used;
  for (auto it = std::sregex_iterator(code.begin(), code.end(), call); it != std::sregex_iterator(); ++it) {
    const auto end = static_cast<std::size_t>(it->position(0) + it->length(0));
    const auto literal = literalAt(code, end);
    if (!literal) continue;  // not a literal: checked where the literal is written
    const auto line = std::count(code.begin(), code.begin() + it->position(0), '\n') + 1;
    const bool isFormat = (*it)[1].matched;
    used.push_back({isFormat ? keyOfPattern(*literal) : LocalizedText(*literal).key(),
                    fileName + ":" + std::to_string(line)});
  }
  return used;
}

TEST(StringTableCheck, TheScannerFindsWhatTheCompilerSees) {
  const std::string source = R"cpp(
    // LocalizedText("in a comment") is not used
    /* LocalizedText("in a block comment") neither */
    auto a = LocalizedText("100% 確認");
    auto b = LocalizedText::format("{}を追加しました（{}件）", name, count);
    auto c = LocalizedText(
        "前半"
        "後半\n");
    auto d = LocalizedText(variable);
    const char* e = "LocalizedText(\"inside a string\")";
    LocalizedText f("直接初期化");
    int g = 16'384; auto h = LocalizedText("after a digit separator");
  )cpp";
  std::vector<std::string> keys;
  for (const auto& text : localizedKeysIn(source, "sample.cpp")) keys.push_back(text.key);
  EXPECT_EQ((std::vector<std::string>{"100%% 確認", "%1$@を追加しました（%2$@件）", "前半後半\n", "直接初期化",
                                      "after a digit separator"}),
            keys);
}

TEST(StringTableCheck, MalformedTablesAreRejected) {
  const char* malformed[] = {
      "\"a\" = \"b\"",          // no semicolon
      "\"a\" \"b\";",           // no equals sign
      "\"a\" = \"b;",           // unterminated value
      "\"a\" = \"\\q\";",       // unknown escape
      "a = \"b\";",             // unquoted key
      "\"a\" = \"b\"; \"c\"",    // a key without its value
  };
  for (const char* text : malformed) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(StringTable::parse(text));
  }
  EXPECT_TRUE(StringTable::parse("/* c */ \"a\" = \"b\"; // c\n\"c\" = \"d\\n\";"));
}

// The %N$@ placeholders of a text, which a translation must keep.
std::multiset<std::string> placeholders(const std::string& text) {
  static const std::regex placeholder(R"(%[0-9]+\$@)");
  std::multiset<std::string> found;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), placeholder); it != std::sregex_iterator(); ++it) {
    found.insert(it->str());
  }
  return found;
}

struct Table {
  std::string name;
  StringTable entries;
};

std::optional<Table> loadTable(const std::string& language) {
  const fs::path path = fs::path(QUILLON_SOURCE_DIR) / "resources" / (language + ".lproj") / "Localizable.strings";
  const std::string text = fileText(path);
  auto parsed = StringTable::parse(text);
  if (!parsed) {
    ADD_FAILURE() << path << " is not a well-formed string table";
    return std::nullopt;
  }
  // Each entry is one line, so that branches adding texts merge line by line; a key
  // that two branches added with different values must not survive the merge.
  std::map<std::string, std::string> seen;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] != '"') continue;
    auto single = StringTable::parse(line);
    if (!single || single->entries().size() != 1) {
      ADD_FAILURE() << path << ": an entry spans more than one line: " << line;
      continue;
    }
    const auto& [key, value] = *single->entries().begin();
    auto [previous, inserted] = seen.emplace(key, value);
    EXPECT_TRUE(inserted || previous->second == value) << path << ": \"" << key << "\" has two different values";
  }
  return Table{language, std::move(*parsed)};
}

TEST(StringTableCheck, EveryTextUsedInTheCodeIsInBothTables) {
  auto japanese = loadTable("ja");
  auto english = loadTable("en");
  ASSERT_TRUE(japanese && english);

  std::vector<UsedText> used;
  const fs::path sources = fs::path(QUILLON_SOURCE_DIR) / "src";
  for (const auto& entry : fs::recursive_directory_iterator(sources)) {
    const auto extension = entry.path().extension();
    if (extension != ".cpp" && extension != ".h" && extension != ".mm") continue;
    auto found = localizedKeysIn(fileText(entry.path()), fs::relative(entry.path(), QUILLON_SOURCE_DIR).string());
    used.insert(used.end(), found.begin(), found.end());
  }
  EXPECT_GT(used.size(), 5u) << "the scanner found almost nothing; is it still looking in the right place?";
  for (const auto& text : used) {
    if (text.key.empty()) continue;  // nothing to translate
    for (const Table* table : {&*japanese, &*english}) {
      EXPECT_TRUE(table->entries.find(text.key)) << text.where << ": \"" << text.key << "\" is missing from the "
                                                  << table->name << " table";
    }
  }
}

TEST(StringTableCheck, BothTablesHaveTheSameTextsAndKeepEveryPlaceholder) {
  auto japanese = loadTable("ja");
  auto english = loadTable("en");
  ASSERT_TRUE(japanese && english);
  for (const auto& [one, other] : {std::pair{&*japanese, &*english}, std::pair{&*english, &*japanese}}) {
    for (const auto& [key, value] : one->entries.entries()) {
      EXPECT_TRUE(other->entries.find(key)) << "\"" << key << "\" is in the " << one->name << " table only";
      EXPECT_EQ(placeholders(key), placeholders(value)) << one->name << " value of \"" << key << "\": " << value;
    }
  }
}

}  // namespace
}  // namespace quillon
