// Every text that the code passes through LocalizedText must have an entry in both
// string tables, and both tables must be well-formed and agree with each other. The
// tables are compiled into the program, so a missing or broken entry would otherwise
// show up only as an untranslated (or, for a malformed table, fatal) text at run time.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/localization/l10n.h"
#include "core/localization/localized_text.h"
#include "support/storage_test_files.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;
using testing_files::readText;

// One string literal; the scanner joins a run of adjacent ones, as the compiler does.
constexpr const char* kLiteral = R"re((?:u8)?"(?:[^"\\\n]|\\.)*")re";

std::string unescaped(const std::string& literal) {
  std::string text;
  for (std::size_t i = literal.find('"') + 1; i + 1 < literal.size(); ++i) {
    if (literal[i] != '\\') {
      text.push_back(literal[i]);
      continue;
    }
    switch (const char c = literal[++i]) {
      case 'n': text.push_back('\n'); break;
      case 't': text.push_back('\t'); break;
      case '"':
      case '\'':
      case '\\': text.push_back(c); break;
      default: ADD_FAILURE() << "unsupported escape in a localized text: \\" << c; break;
    }
  }
  return text;
}

struct UsedText {
  std::string key;
  std::string where;
};

// The keys of every LocalizedText("..."), LocalizedText name("...") and
// LocalizedText::format("...", ...) whose text is a literal. Lines that are comments are
// left out, so that examples in comments need no entry.
std::vector<UsedText> localizedKeysIn(const std::string& source, const std::string& fileName) {
  std::string code;
  std::istringstream lines(source);
  for (std::string line; std::getline(lines, line);) {
    const auto start = line.find_first_not_of(" \t");
    const bool comment = start != std::string::npos &&
                         (line[start] == '*' || line.compare(start, 2, "//") == 0 || line.compare(start, 2, "/*") == 0);
    code += (comment ? std::string() : line) + "\n";
  }
  static const std::regex call(std::string(R"(\bLocalizedText(\s*::\s*format|\s+\w+)?\s*[({]\s*()") + kLiteral +
                               R"((?:\s*)" + kLiteral + ")*)");
  static const std::regex literal(kLiteral);
  std::vector<UsedText> used;
  for (auto it = std::sregex_iterator(code.begin(), code.end(), call); it != std::sregex_iterator(); ++it) {
    std::string text;
    const std::string literals = (*it)[2];
    for (auto part = std::sregex_iterator(literals.begin(), literals.end(), literal); part != std::sregex_iterator();
         ++part) {
      text += unescaped(part->str());
    }
    const auto line = std::count(code.begin(), code.begin() + it->position(0), '\n') + 1;
    const bool isFormat = (*it)[1].matched && (*it)[1].str().find("format") != std::string::npos;
    // Values beyond the pattern's "{}" markers leave the key alone.
    used.push_back(
        {isFormat ? LocalizedText::format(text, "", "", "", "", "", "", "", "", "").key() : LocalizedText(text).key(),
         fileName + ":" + std::to_string(line)});
  }
  return used;
}

// The used texts that `table` lacks, each as "where: key".
std::vector<std::string> missingFrom(const StringTable& table, const std::vector<UsedText>& used) {
  std::vector<std::string> missing;
  for (const auto& text : used) {
    if (!text.key.empty() && !table.find(text.key)) missing.push_back(text.where + ": " + text.key);
  }
  return missing;
}

TEST(StringTableCheck, TheScannerFindsWhatTheCompilerSeesAndReportsWhatIsMissing) {
  const std::string source = R"sample(
    // LocalizedText("in a comment") is not used
    /* LocalizedText("in a block comment") neither */
    auto a = LocalizedText("100% 確認");
    auto b = LocalizedText::format("{}を追加しました（{}件）", name, count);
    auto c = LocalizedText(
        "前半"
        "後半\n");
    auto d = LocalizedText(variable);
    LocalizedText f("直接初期化");
    int g = 16'384; auto h = LocalizedText("after a digit separator");
  )sample";
  const auto used = localizedKeysIn(source, "sample.cpp");
  std::vector<std::string> keys;
  for (const auto& text : used) keys.push_back(text.key);
  EXPECT_EQ((std::vector<std::string>{"100%% 確認", "%1$@を追加しました（%2$@件）", "前半後半\n", "直接初期化",
                                      "after a digit separator"}),
            keys);
  const auto table = StringTable::parse(
      "\"100%% 確認\" = \"x\";\n\"%1$@を追加しました（%2$@件）\" = \"x\";\n\"前半後半\\n\" = \"x\";\n\"直接初期化\" = "
      "\"x\";");
  ASSERT_TRUE(table);
  EXPECT_EQ(std::vector<std::string>{"sample.cpp:11: after a digit separator"}, missingFrom(*table, used));
}

TEST(StringTableCheck, MalformedTablesAreRejected) {
  const char* malformed[] = {
      "\"a\" = \"b\"",         // no semicolon
      "\"a\" \"b\";",          // no equals sign
      "\"a\" = \"b;",          // unterminated value
      "\"a\" = \"\\q\";",      // unknown escape
      "a = \"b\";",            // unquoted key
      "\"a\" = \"b\"; \"c\"",  // a key without its value
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

// `language` is "ja" or "en", or a platform's table such as "linux/ja".
std::optional<Table> loadTable(const std::string& language) {
  const fs::path path = fs::path(QUILLON_SOURCE_DIR) / "resources" / (language + ".lproj") / "Localizable.strings";
  const std::string text = readText(path);
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

// Every text the code uses is in both tables, and each table's texts are in the other
// with the same placeholders.
TEST(StringTableCheck, BothTablesHoldEveryUsedTextAndAgreeWithEachOther) {
  auto japanese = loadTable("ja");
  auto english = loadTable("en");
  ASSERT_TRUE(japanese && english);

  std::vector<UsedText> used;
  const fs::path sources = fs::path(QUILLON_SOURCE_DIR) / "src";
  for (const auto& entry : fs::recursive_directory_iterator(sources)) {
    const auto extension = entry.path().extension();
    if (extension != ".cpp" && extension != ".h" && extension != ".mm") continue;
    auto found = localizedKeysIn(readText(entry.path()), fs::relative(entry.path(), QUILLON_SOURCE_DIR).string());
    used.insert(used.end(), found.begin(), found.end());
  }
  EXPECT_GT(used.size(), 5u) << "the scanner found almost nothing; is it still looking in the right place?";
  for (const auto& [one, other] : {std::pair{&*japanese, &*english}, std::pair{&*english, &*japanese}}) {
    EXPECT_EQ(std::vector<std::string>{}, missingFrom(one->entries, used))
        << "missing from the " << one->name << " table";
    for (const auto& [key, value] : one->entries.entries()) {
      EXPECT_TRUE(other->entries.find(key)) << "\"" << key << "\" is in the " << one->name << " table only";
      EXPECT_EQ(placeholders(key), placeholders(value)) << one->name << " value of \"" << key << "\": " << value;
    }
  }
}

// A platform's table rewords texts the product shows: a key the common table lacks is
// a text that changed there and left its platform words behind, shown no more.
TEST(StringTableCheck, TheLinuxTablesRewordOnlyTextsOfTheCommonTables) {
  auto japanese = loadTable("ja");
  auto linuxJapanese = loadTable("linux/ja");
  auto linuxEnglish = loadTable("linux/en");
  ASSERT_TRUE(japanese && linuxJapanese && linuxEnglish);
  for (const auto& [one, other] :
       {std::pair{&*linuxJapanese, &*linuxEnglish}, std::pair{&*linuxEnglish, &*linuxJapanese}}) {
    for (const auto& [key, value] : one->entries.entries()) {
      EXPECT_TRUE(japanese->entries.find(key))
          << "\"" << key << "\" of the " << one->name << " table is no common text";
      EXPECT_TRUE(other->entries.find(key)) << "\"" << key << "\" is in the " << one->name << " table only";
      EXPECT_EQ(placeholders(key), placeholders(value)) << one->name << " value of \"" << key << "\": " << value;
    }
  }
}

// A common text that names a thing of the home platform (an API in a log line, its
// error kind, file manager or computer) reaches a Linux user only in Linux words.
TEST(StringTableCheck, EveryTextNamingTheHomePlatformHasLinuxWords) {
  auto japanese = loadTable("ja");
  auto linuxJapanese = loadTable("linux/ja");
  auto linuxEnglish = loadTable("linux/en");
  ASSERT_TRUE(japanese && linuxJapanese && linuxEnglish);
  const std::vector<std::string> homeWords = {"CGEvent", "Cocoa error", "Finder", "このMac", "Appleメニュー"};
  int named = 0;
  for (const auto& [key, value] : japanese->entries.entries()) {
    for (const auto& word : homeWords) {
      if (key.find(word) == std::string::npos) continue;
      ++named;
      for (const auto* linux : {&*linuxJapanese, &*linuxEnglish}) {
        const auto* reworded = linux->entries.find(key);
        ASSERT_TRUE(reworded) << "\"" << key << "\" has no words in the " << linux->name << " table";
        EXPECT_EQ(std::string::npos, reworded->find(word)) << linux->name << ": " << *reworded;
      }
    }
  }
  EXPECT_GE(named, 5) << "the home platform's words are no longer found; has the table changed its spelling?";
}

}  // namespace
}  // namespace quillon
