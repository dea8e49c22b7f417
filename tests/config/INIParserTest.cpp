// INI reader and editor: line ends, classification, errors, edits and saving.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "TempDir.h"
#include "config/INIParser.h"

namespace {

using Quor::Base::IniLine;
using Quor::Base::INIParser;
using Strings = std::vector<std::string>;
using Pairs = std::vector<std::pair<std::string, std::string>>;

// One line as "S|name", "K|key|value" or "O|raw".
Strings Dump(const INIParser& ini) {
  Strings out;
  for (const IniLine& l : ini.Lines()) {
    if (l.kind == IniLine::SectionLine) {
      out.push_back("S|" + l.section);
    } else if (l.kind == IniLine::KeyLine) {
      out.push_back("K|" + l.key + "|" + l.value);
    } else {
      out.push_back("O|" + l.raw);
    }
  }
  return out;
}

Strings Raws(const INIParser& ini) {
  Strings out;
  for (const IniLine& l : ini.Lines()) out.push_back(l.raw);
  return out;
}

INIParser Loaded(const std::string& text) { return INIParser("{" + text + "}"); }

// Runs f and returns the code and message it threw; {-1, ""} when it did not throw.
std::pair<int32_t, std::string> Thrown(const std::function<void()>& f) {
  try {
    f();
  } catch (const Quor::Exception& e) {
    return {e.Code(), e.what()};
  }
  return {-1, ""};
}

// ---- Load: line ends and classification --------------------------------

struct LoadCase {
  const char* name;
  std::string text;  // between the braces
  Strings dump;
  friend void PrintTo(const LoadCase& c, std::ostream* os) { *os << c.name; }
};

class LoadTest : public ::testing::TestWithParam<LoadCase> {};

TEST_P(LoadTest, SplitsAndClassifiesLines) {
  const INIParser ini = Loaded(GetParam().text);
  EXPECT_TRUE(ini.IsLoaded());
  EXPECT_EQ(Dump(ini), GetParam().dump);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LoadTest,
    ::testing::Values(
        LoadCase{"Empty", "", {}}, LoadCase{"Crlf", "[A]\r\nk=v\r\n", {"S|A", "K|k|v"}},
        LoadCase{"Lf", "[A]\nk=v", {"S|A", "K|k|v"}}, LoadCase{"Cr", "[A]\rk=v", {"S|A", "K|k|v"}},
        // A later "\r\n" wins over a nearer "\n": the key is swallowed by the header line.
        LoadCase{"LaterCrlfWins", "[A]\nk=v\r\n", {"S|A"}},
        LoadCase{"LaterCrlfWinsOverCr", "[A]\rk=v\r\nx=1", {"S|A", "K|x|1"}},
        // Without any "\r\n" a lone "\r" wins over a nearer "\n".
        LoadCase{"LaterCrWinsOverLf", "[A]\nk=v\rx=1", {"S|A", "K|x|1"}},
        LoadCase{"LfOnlyAfterCrRunsOut", "[A]\rk=v\nx=1", {"S|A", "K|k|v", "K|x|1"}},
        LoadCase{"TrailingTerminatorAddsNoLine", "[A]\n\n", {"S|A", "O|"}},
        LoadCase{"BlankLinesKeepTheirBytes", "[A]\n \t\v\f\nk=v", {"S|A", "O| \t\v\f", "K|k|v"}},
        LoadCase{"WholeLineComments",
                 "# c\n  ; d\n[A]\nk = v # not a comment",
                 {"O|# c", "O|  ; d", "S|A", "K|k|v # not a comment"}},
        LoadCase{"HeaderWithNote", "  [ A b ]  ; primary", {"S|A b"}}, LoadCase{"DoubleBracket", "[A]]", {"S|A"}},
        LoadCase{"ValueTakenLiterally",
                 "[A]\nk = a=b ; c\nq=\"x y\"\n\t key \t=\t v \t",
                 {"S|A", "K|k|a=b ; c", "K|q|\"x y\"", "K|key|v"}},
        LoadCase{"DuplicatesKept", "[A]\nk=1\n[A]\nk=2\nk=3", {"S|A", "K|k|1", "S|A", "K|k|2", "K|k|3"}},
        LoadCase{"HighBytesUntouched", "[\xC3\xA9]\n\xE2\x82\xAC=\xFF", {"S|\xC3\xA9", "K|\xE2\x82\xAC|\xFF"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LoadTest, RawLineKeepsEverythingButTheTerminator) {
  const INIParser ini = Loaded("  [A] x \r\n k = v \n");
  EXPECT_EQ(Raws(ini), (Strings{"  [A] x ", " k = v "}));
}

TEST(LoadTest, BracesAreRecognisedAfterTrimming) {
  const INIParser ini("  \n{[A]\nk=v}\t ");
  EXPECT_EQ(Dump(ini), (Strings{"S|A", "K|k|v"}));
}

TEST(LoadTest, ReadsAFileWithTrimmedPath) {
  QuorTest::TempDir dir;
  const std::string path = dir.File("a.ini");
  QuorTest::WriteFile(path, "[A]\r\nk=v\r\n");
  const INIParser ini("  " + path + "\n");
  EXPECT_EQ(Dump(ini), (Strings{"S|A", "K|k|v"}));
}

TEST(LoadTest, ReloadReplacesAllLines) {
  INIParser ini = Loaded("[A]\nk=1");
  ini.Load("{[B]\nj=2}");
  EXPECT_EQ(Dump(ini), (Strings{"S|B", "K|j|2"}));
}

// ---- Load: errors ------------------------------------------------------------

struct FormatCase {
  const char* name;
  std::string text;
  int line;
  friend void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }
};

class FormatErrorTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatErrorTest, ReportsTheLineNumber) {
  INIParser ini;
  const auto [code, message] = Thrown([&] { ini.Load("{" + GetParam().text + "}"); });
  EXPECT_EQ(code, 103);
  EXPECT_EQ(message, "Format error at line [" + std::to_string(GetParam().line) + "]");
  EXPECT_FALSE(ini.IsLoaded());
}

INSTANTIATE_TEST_SUITE_P(
    Errors, FormatErrorTest,
    ::testing::Values(FormatCase{"EmptyHeader", "[]", 1}, FormatCase{"BlankHeader", "[ ]", 1},
                      FormatCase{"UnclosedHeader", "[A", 1}, FormatCase{"NoEquals", "[A]\njustword", 2},
                      FormatCase{"EmptyValue", "[A]\nk=", 2}, FormatCase{"BlankValue", "[A]\nk = \t", 2},
                      FormatCase{"EmptyKey", "[A]\n=v", 2}, FormatCase{"KeyBeforeHeader", "k=v\n[A]", 1},
                      FormatCase{"KeyAfterComments", "# c\n\nk=v\n[A]", 3},
                      FormatCase{"ByteOrderMark", "\xEF\xBB\xBF[A]\nk=v", 1},
                      FormatCase{"CountsBlankAndCrlfLines", "[A]\r\n\r\n; c\r\nbad\r\n", 4},
                      FormatCase{"CountsCrLines", "[A]\r\rk=v\r[B", 4},
                      FormatCase{"LargeLineNumber", std::string(1000, '\n') + "x", 1001}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LoadErrorTest, FileThatCannotBeReadIs102) {
  QuorTest::TempDir dir;
  for (const std::string& path : {dir.File("missing.ini"), dir.Path().string(), std::string("   ")}) {
    INIParser ini;
    const auto [code, message] = Thrown([&] { ini.Load(path); });
    EXPECT_EQ(code, 102) << path;
    EXPECT_EQ(message, "Open file failed") << path;
    EXPECT_FALSE(ini.IsLoaded());
  }
}

TEST(LoadErrorTest, FailedReloadLeavesObjectUnusable) {
  INIParser ini = Loaded("[A]\nk=v");
  EXPECT_EQ(Thrown([&] { ini.Load("{[A]\nbad}"); }).first, 103);
  EXPECT_FALSE(ini.IsLoaded());
  EXPECT_EQ(Thrown([&] { ini.GetValues("A", "k"); }),
            std::make_pair(101, std::string("Haven't loaded or load failed")));
}

// Every operation but Load needs a completed load.
TEST(NotLoadedTest, EveryOperationGives101) {
  const std::vector<std::pair<const char*, std::function<void(INIParser&)>>> ops = {
      {"GetValues", [](INIParser& p) { p.GetValues("A", "k"); }},
      {"GetSection", [](INIParser& p) { p.GetSection("A"); }},
      {"SetValue", [](INIParser& p) { p.SetValue("A", "k", "v", -1); }},
      {"AddSection", [](INIParser& p) { p.AddSection("A", "", true); }},
      {"AddKey", [](INIParser& p) { p.AddKey("A", "k", "v", "", true); }},
      {"RemoveSection", [](INIParser& p) { p.RemoveSection("A"); }},
      {"RemoveKey", [](INIParser& p) { p.RemoveKey("A", "k", -1); }},
      {"RenameSection", [](INIParser& p) { p.RenameSection("A", "B"); }},
      {"Save", [](INIParser& p) { p.Save("/nonexistent-dir/x.ini"); }},
  };
  for (const auto& [name, op] : ops) {
    INIParser fresh;
    EXPECT_EQ(Thrown([&] { op(fresh); }).first, 101) << name << " on a fresh object";
    INIParser failed;
    Thrown([&] { failed.Load("{[A]\nk=v\n[}"); });
    EXPECT_EQ(Thrown([&] { op(failed); }).first, 101) << name << " after a failed load";
  }
}

// ---- Lookups -------------------------------------------------------------------

TEST(LookupTest, FirstSectionOfANameAndEveryKeyInIt) {
  EXPECT_EQ(Loaded("[A]\nk=1\n[A]\nk=2").GetValues("A", "k"), (Strings{"1"}));
  EXPECT_EQ(Loaded("[A]\nk=1\nk=2").GetValues("A", "k"), (Strings{"1", "2"}));
  EXPECT_EQ(Loaded("[A]\nk=1\n[B]\nk=2").GetValues(" \tB ", " k\n"), (Strings{"2"}));
}

TEST(LookupTest, GetSectionListsTheExtentInOrder) {
  const INIParser ini = Loaded("[A]\nk=1\n# c\n\nj=2\nk=3\n# tail\n[B]\nx=1");
  EXPECT_EQ(ini.GetSection("A"), (Pairs{{"k", "1"}, {"j", "2"}, {"k", "3"}}));
  EXPECT_EQ(Loaded("[A]\n# only a comment\n[B]\nx=1").GetSection("A"), Pairs{});
}

TEST(LookupTest, EmptyTextHasNoSections) {
  EXPECT_EQ(Thrown([] { Loaded("").GetSection("A"); }).first, 104);
}

struct LookupErrorCase {
  const char* section;
  const char* key;
  int32_t code;
  const char* message;
  friend void PrintTo(const LookupErrorCase& c, std::ostream* os) { *os << c.section << "/" << c.key; }
};

class LookupErrorTest : public ::testing::TestWithParam<LookupErrorCase> {};

TEST_P(LookupErrorTest, GetValuesReportsWhatIsMissing) {
  const INIParser ini = Loaded("[A]\nk=1\n[Empty]\n# c");
  const auto& c = GetParam();
  EXPECT_EQ(Thrown([&] { ini.GetValues(c.section, c.key); }), std::make_pair(c.code, std::string(c.message)));
}

INSTANTIATE_TEST_SUITE_P(Errors, LookupErrorTest,
                         ::testing::Values(LookupErrorCase{" ", "k", 106, "The section is a null string"},
                                           LookupErrorCase{"", "", 106, "The section is a null string"},
                                           LookupErrorCase{"A", " \t", 109, "The key is a null string"},
                                           LookupErrorCase{"Z", "", 109, "The key is a null string"},
                                           LookupErrorCase{"Z", "k", 104, "The section doesn't exist"},
                                           LookupErrorCase{"a", "k", 104, "The section doesn't exist"},
                                           LookupErrorCase{"A", "K", 107, "The key doesn't exist"},
                                           LookupErrorCase{"Empty", "k", 107, "The key doesn't exist"}));

// ---- Editing: every failing operation leaves the lines as they were ----------

struct EditErrorCase {
  const char* name;
  std::function<void(INIParser&)> op;
  int32_t code;
  friend void PrintTo(const EditErrorCase& c, std::ostream* os) { *os << c.name; }
};

class EditErrorTest : public ::testing::TestWithParam<EditErrorCase> {};

TEST_P(EditErrorTest, FailsWithoutChangingAnything) {
  INIParser ini = Loaded("[A]\nk=1\nk=2\n# c\n[B]\n\n[C] ; A");
  const Strings before = Raws(ini);
  const auto [code, message] = Thrown([&] { GetParam().op(ini); });
  EXPECT_EQ(code, GetParam().code);
  EXPECT_STREQ(message.c_str(), INIParser::ErrorMessage(GetParam().code));
  EXPECT_EQ(Raws(ini), before);
  EXPECT_TRUE(ini.IsLoaded());
}

INSTANTIATE_TEST_SUITE_P(
    Errors, EditErrorTest,
    ::testing::Values(EditErrorCase{"SetValueEmptyValueFirst", [](INIParser& p) { p.SetValue("", "", " ", -1); }, 110},
                      EditErrorCase{"SetValueNoSection", [](INIParser& p) { p.SetValue("Z", "k", "v", -1); }, 104},
                      EditErrorCase{"SetValueNoKey", [](INIParser& p) { p.SetValue("A", "x", "v", -1); }, 107},
                      EditErrorCase{"SetValueEmptyKey", [](INIParser& p) { p.SetValue("A", "", "v", 0); }, 109},
                      EditErrorCase{"SetValueIndexPastEnd", [](INIParser& p) { p.SetValue("A", "k", "v", 2); }, 107},
                      EditErrorCase{"AddSectionExisting", [](INIParser& p) { p.AddSection(" B ", "c", true); }, 105},
                      EditErrorCase{"AddSectionEmpty", [](INIParser& p) { p.AddSection(" ", "c", true); }, 106},
                      EditErrorCase{"AddKeyEmptySection", [](INIParser& p) { p.AddKey(" ", "", "", "", true); }, 106},
                      EditErrorCase{"AddKeyEmptyKey", [](INIParser& p) { p.AddKey("Z", " ", "", "", true); }, 109},
                      EditErrorCase{"AddKeyEmptyValue", [](INIParser& p) { p.AddKey("Z", "k", "\t", "c", true); }, 110},
                      EditErrorCase{"RemoveSectionMissing", [](INIParser& p) { p.RemoveSection("Z"); }, 104},
                      EditErrorCase{"RemoveSectionEmpty", [](INIParser& p) { p.RemoveSection(""); }, 106},
                      EditErrorCase{"RemoveKeyIndexPastEnd", [](INIParser& p) { p.RemoveKey("A", "k", 2); }, 107},
                      EditErrorCase{"RemoveKeyMissing", [](INIParser& p) { p.RemoveKey("B", "k", -1); }, 107},
                      EditErrorCase{"RenameEmptyNewNameFirst", [](INIParser& p) { p.RenameSection("Z", " "); }, 106},
                      EditErrorCase{"RenameMissing", [](INIParser& p) { p.RenameSection("Z", "Y"); }, 104},
                      EditErrorCase{"SaveUnwritable", [](INIParser& p) { p.Save("/nonexistent-dir/x.ini"); }, 102}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Editing: results ------------------------------------------------------------

struct EditCase {
  const char* name;
  std::string text;
  std::function<void(INIParser&)> op;
  Strings raws;  // raw lines afterwards
  friend void PrintTo(const EditCase& c, std::ostream* os) { *os << c.name; }
};

class EditTest : public ::testing::TestWithParam<EditCase> {};

TEST_P(EditTest, RewritesTheLines) {
  INIParser ini = Loaded(GetParam().text);
  GetParam().op(ini);
  EXPECT_EQ(Raws(ini), GetParam().raws);
  // What an edit leaves must read back the same way after a save.
  QuorTest::TempDir dir;
  ini.Save(dir.File("out.ini"));
  const INIParser reread(dir.File("out.ini"));
  EXPECT_EQ(Raws(reread), GetParam().raws);
}

INSTANTIATE_TEST_SUITE_P(Edits, EditTest,
                         ::testing::Values(
                             // SetValue replaces the value after "=", not an equal text in the key.
                             EditCase{"SetValueAfterEquals",
                                      "[A]\nab = b\t",
                                      [](INIParser& p) { p.SetValue("A", "ab", "c", -1); },
                                      {"[A]", "ab = c\t"}},
                             EditCase{"SetValueByIndex",
                                      "[A]\nk=1\nj=1\nk = 1",
                                      [](INIParser& p) { p.SetValue("A", "k", "9", 1); },
                                      {"[A]", "k=1", "j=1", "k = 9"}},
                             EditCase{"SetValueAll",
                                      "[A]\nk=1\nk = 2\n[A]\nk=3",
                                      [](INIParser& p) { p.SetValue(" A", "k ", "9", -1); },
                                      {"[A]", "k=9", "k = 9", "[A]", "k=3"}},
                             EditCase{"AddSectionBeforeClosingComments",
                                      "[A]\nk=1\n\n# end",
                                      [](INIParser& p) { p.AddSection("B", "note", true); },
                                      {"[A]", "k=1", ";note", "[B]", "", "# end"}},
                             EditCase{"AddSectionHashCommentUntrimmedName",
                                      "[A]\nk=1",
                                      [](INIParser& p) { p.AddSection(" B ", " two words", false); },
                                      {"[A]", "k=1", "# two words", "[ B ]"}},
                             EditCase{"AddSectionBlankCommentOmitted",
                                      "[A]",
                                      [](INIParser& p) { p.AddSection("B", " \t", true); },
                                      {"[A]", "[B]"}},
                             EditCase{"AddSectionToCommentsOnly",
                                      "# a\n; b",
                                      [](INIParser& p) { p.AddSection("X", "", true); },
                                      {"[X]", "# a", "; b"}},
                             EditCase{
                                 "AddSectionToEmpty", "", [](INIParser& p) { p.AddSection("X", "", true); }, {"[X]"}},
                             EditCase{"AddKeyJoinsFirstRun",
                                      "[A]\nk=1\nx=0\nk=2",
                                      [](INIParser& p) { p.AddKey("A", "k", "3", "", true); },
                                      {"[A]", "k=1", "k=3", "x=0", "k=2"}},
                             EditCase{"AddKeyRunSpansComments",
                                      "[A]\nk=1\n# c\nk=2\n\nx=0",
                                      [](INIParser& p) { p.AddKey("A", "k", "3", "", true); },
                                      {"[A]", "k=1", "# c", "k=2", "k=3", "", "x=0"}},
                             EditCase{"AddKeyNewKeyAfterLastKey",
                                      "[A]\nk=1\n\n# tail\n[B]",
                                      [](INIParser& p) { p.AddKey("A", "j", "2", "why", false); },
                                      {"[A]", "k=1", "#why", "j=2", "", "# tail", "[B]"}},
                             EditCase{"AddKeyToSectionWithoutKeys",
                                      "[A]\n# c\n[B]",
                                      [](INIParser& p) { p.AddKey("A", "j", "2", "", true); },
                                      {"[A]", "j=2", "# c", "[B]"}},
                             EditCase{"AddKeyFirstOfDuplicateSections",
                                      "[A]\nk=1\n[A]\nk=2",
                                      [](INIParser& p) { p.AddKey("A", "j", "2", "", true); },
                                      {"[A]", "k=1", "j=2", "[A]", "k=2"}},
                             EditCase{"AddKeyNewSectionAtVeryEnd",
                                      "[A]\nk=1\n\n# end",
                                      [](INIParser& p) { p.AddKey(" C ", " j ", " 2 ", "n", true); },
                                      {"[A]", "k=1", "", "# end", "[ C ]", ";n", " j = 2 "}},
                             EditCase{"RemoveSectionKeepsTrailingComments",
                                      "[A]\nk=1\n# in\nj=2\n# after\n[B]\nx=1",
                                      [](INIParser& p) { p.RemoveSection("A"); },
                                      {"# after", "[B]", "x=1"}},
                             EditCase{"RemoveSectionFirstOfName",
                                      "[A]\nk=1\n[A]\nk=2",
                                      [](INIParser& p) { p.RemoveSection("A"); },
                                      {"[A]", "k=2"}},
                             EditCase{"RemoveKeyByIndex",
                                      "[A]\nk=1\nk=2\nk=3",
                                      [](INIParser& p) { p.RemoveKey("A", "k", 1); },
                                      {"[A]", "k=1", "k=3"}},
                             EditCase{"RemoveKeyAll",
                                      "[A]\nk=1\n#c\nj=0\nk=2",
                                      [](INIParser& p) { p.RemoveKey("A", "k", -1); },
                                      {"[A]", "#c", "j=0"}},
                             EditCase{"RenameKeepsSpacingAndNote",
                                      "  [ Host 1 ]  # c\nk=1",
                                      [](INIParser& p) { p.RenameSection("Host 1", "Host 2"); },
                                      {"  [ Host 2 ]  # c", "k=1"}},
                             // The old name given with blanks that the header does not have.
                             EditCase{"RenameOldNameNotInHeader",
                                      "[A]x\nk=1",
                                      [](INIParser& p) { p.RenameSection(" A ", " B "); },
                                      {"[ B ]x", "k=1"}},
                             // The untrimmed old name occurs only in the note after "]": the note is left alone.
                             EditCase{"RenameIgnoresNoteAfterBracket",
                                      "[A] ; see  A",
                                      [](INIParser& p) { p.RenameSection("  A", "B"); },
                                      {"[B] ; see  A"}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EditValueTest, SetValueStoresTrimmedByIndexUntrimmedForAll) {
  INIParser ini = Loaded("[A]\nk=1\nk=2");
  ini.SetValue("A", "k", " 5 ", 0);
  EXPECT_EQ(ini.GetValues("A", "k"), (Strings{"5", "2"}));
  ini.SetValue("A", "k", " 6 ", -1);
  EXPECT_EQ(ini.GetValues("A", "k"), (Strings{" 6 ", " 6 "}));
  EXPECT_EQ(Raws(ini), (Strings{"[A]", "k=  6  ", "k= 6 "}));
  // A second edit still finds the value it stored.
  ini.SetValue("A", "k", "7", 1);
  EXPECT_EQ(Raws(ini), (Strings{"[A]", "k=  6  ", "k=7"}));
}

TEST(EditValueTest, AddedLinesAreFoundByLookups) {
  INIParser ini = Loaded("[A]\nk=1");
  ini.AddSection("B", "c", true);
  ini.AddKey("B", " j ", " 2 ", "", true);
  ini.AddKey("A", "k", "3", "", true);
  EXPECT_EQ(ini.GetValues("B", "j"), (Strings{"2"}));
  EXPECT_EQ(ini.GetValues("A", "k"), (Strings{"1", "3"}));
  ini.RenameSection("B", "C");
  EXPECT_EQ(ini.GetSection("C"), (Pairs{{"j", "2"}}));
  EXPECT_EQ(Thrown([&] { ini.GetSection("B"); }).first, 104);
}

TEST(EditValueTest, RenameToNameInUseIsAllowed) {
  INIParser ini = Loaded("[A]\nk=1\n[B]\nk=2");
  ini.RenameSection("B", "A");
  EXPECT_EQ(Dump(ini), (Strings{"S|A", "K|k|1", "S|A", "K|k|2"}));
  EXPECT_EQ(ini.GetValues("A", "k"), (Strings{"1"}));
}

// ---- Save ----------------------------------------------------------------------

TEST(SaveTest, WritesEachRawLineWithLf) {
  const std::string text = "# head\r\n  [ A ] ; n\r\n k = v \r\n\r\n[B]\rx=1\r\n\t";
  const INIParser ini = Loaded(text);
  QuorTest::TempDir dir;
  ini.Save(dir.File("a.ini"));
  EXPECT_EQ(QuorTest::ReadFile(dir.File("a.ini")), "# head\n  [ A ] ; n\n k = v \n\n[B]\rx=1\n\t\n");
}

TEST(SaveTest, TruncatesAndWritesNothingForEmptyText) {
  QuorTest::TempDir dir;
  QuorTest::WriteFile(dir.File("a.ini"), "old contents");
  Loaded("").Save(dir.File("a.ini"));
  EXPECT_EQ(QuorTest::ReadFile(dir.File("a.ini")), "");
}

TEST(ErrorMessageTest, TableAndFallback) {
  const std::vector<std::pair<int32_t, const char*>> cases = {{0, "Success"},
                                                              {101, "Haven't loaded or load failed"},
                                                              {108, "The key has exist"},
                                                              {110, "The value is a null string"},
                                                              {111, "Unknow error"},
                                                              {112, "Unknow error"},
                                                              {-1, "Unknow error"}};
  for (const auto& [code, text] : cases) EXPECT_STREQ(INIParser::ErrorMessage(code), text) << code;
}

}  // namespace
