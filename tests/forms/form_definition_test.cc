#include "forms/form_definition.h"

#include <gtest/gtest.h>

#include <set>

#include "base/item_reader.h"
#include "platform/files.h"
#include "startup/program.h"
#include "testing/test_program.h"

namespace xt {
namespace {

class FormLoadTest : public ::testing::Test {
 protected:
  FormLoadResult load(const std::string& content, const std::string& language = "CAT") {
    t.dir().write("FORMS/T.JPN", content);
    t.program().settings.languageCode = language;
    return loadForm(t.program().fs, t.program().form, t.program().settings, path());
  }
  std::string path() const { return t.root() + "FORMS\\T.JPN"; }
  FormDefinition& form() { return t.program().form; }
  TestProgram t;
};

// Two groups, the second in a window, and one look-up list.
const char* const kSmallForm =
    "' header\r\n"
    "2,2\r\n"
    "\"d,1b\",2,2,0,0,0,0\r\n"
    "3,4,\"Name, full: \",10,0,2,0,2,1,\"\"\r\n"
    "5,4,Level: ,1,0,5,8,0,0,\"|A,ONE|B,TWO\"\r\n"
    "  ' second group in a window\r\n"
    "\"d\",1,0,5,10,12,60\r\n"
    "2,2,\"Ok? \",1,0,0,1,2,0,\"\"\r\n"
    "1\r\n"
    "52,0,3,24,21,60,0,Code____Text,0\r\n";

TEST_F(FormLoadTest, ItemsGoWhereTheFileSays) {
  ASSERT_TRUE(load(kSmallForm).ok);
  FormDefinition& f = form();
  EXPECT_EQ(f.groupCount, 2);
  EXPECT_EQ(f.maxFieldCount, 2);
  ASSERT_EQ(f.groups.size(), 3u);
  EXPECT_EQ(f.group(1).groupKeys, "d,1b");
  EXPECT_EQ(f.group(1).groupFieldCount, 2);
  EXPECT_EQ(f.group(1).groupContinuation, 2);
  EXPECT_EQ(f.field(1, 1).fieldLabel, "Name, full: ");
  const int16_t attrs[8] = {3, 4, 10, 0, 2, 0, 2, 1};
  for (int a = 0; a < 8; ++a) EXPECT_EQ(f.field(1, 1).attr[a], attrs[a]) << a;
  EXPECT_EQ(f.field(1, 1).fieldValue, std::string(10, ' '));
  EXPECT_EQ(f.field(1, 2).fieldLabel, "Level: ");  // trailing blank kept
  EXPECT_EQ(f.field(1, 2).fieldChoices, "|A,ONE|B,TWO");
  EXPECT_EQ(f.field(1, 2).fieldFlags(), 8);
  const int16_t window[5] = {0, 5, 10, 12, 60};
  for (int e = 0; e < 5; ++e) EXPECT_EQ(f.group(2).groupWindow[e], window[e]) << e;
  EXPECT_EQ(f.group(2).groupFieldCount, 1);
  EXPECT_EQ(f.field(2, 2).fieldLabel, "");  // beyond the group's count, up to M
  EXPECT_EQ(f.field(2, 2).fieldWidth(), 0);
  EXPECT_EQ(f.group(0).groupFieldCount, 0);
  ASSERT_EQ(f.lookupCount(), 1);
  EXPECT_EQ(f.lookups[0].lookupTitle, "");
  EXPECT_EQ(f.lookups[0].attr[0], 0);
  const int16_t list[8] = {52, 0, 3, 24, 21, 60, 0, 0};
  for (int a = 0; a < 8; ++a) EXPECT_EQ(f.lookups[1].attr[a], list[a]) << a;
  EXPECT_EQ(f.lookups[1].lookupTitle, "Code____Text");
}

TEST_F(FormLoadTest, LfOnlyLinesLoadLikeCrLf) {
  ASSERT_TRUE(load(kSmallForm).ok);
  FormDefinition crlf = form();
  std::string lf = kSmallForm;
  for (size_t p; (p = lf.find('\r')) != std::string::npos;) lf.erase(p, 1);
  ASSERT_TRUE(load(lf).ok);
  for (int g = 1; g <= 2; ++g) {
    EXPECT_EQ(form().group(g).groupKeys, crlf.group(g).groupKeys);
    for (int k = 1; k <= 2; ++k) {
      EXPECT_EQ(form().field(g, k).fieldLabel, crlf.field(g, k).fieldLabel);
      EXPECT_EQ(form().field(g, k).fieldChoices, crlf.field(g, k).fieldChoices);
      for (int a = 0; a < 8; ++a) EXPECT_EQ(form().field(g, k).attr[a], crlf.field(g, k).attr[a]);
    }
  }
  EXPECT_EQ(form().lookups[1].lookupTitle, crlf.lookups[1].lookupTitle);
}

TEST_F(FormLoadTest, ItemRules) {
  ASSERT_TRUE(load("1,3\r\n"
                   "d,3,0,0,0,0,0\r\n"
                   "1,2.6,\tLa\tbel ,0,0,0,0,0,0,\"a,b\" junk\r\n"
                   "  -2 ,  7x ,\"\",4,0,0,0,0,0,\r\n"
                   "1 2 X,3,0,0,0,0,0,\r\n"
                   "\x1A" "garbage that is never read\r\n")
                  .ok);
  EXPECT_EQ(form().group(1).groupKeys, "d");
  EXPECT_EQ(form().field(1, 1).fieldColumn(), 3);  // 2.6 rounded
  EXPECT_EQ(form().field(1, 1).fieldLabel, "Label ");
  EXPECT_EQ(form().field(1, 1).fieldChoices, "a,b");
  EXPECT_EQ(form().field(1, 1).fieldValue, "");  // width 0
  EXPECT_EQ(form().field(1, 2).fieldRow(), -2);
  EXPECT_EQ(form().field(1, 2).fieldColumn(), 7);
  EXPECT_EQ(form().field(1, 2).fieldValue, "    ");
  EXPECT_EQ(form().field(1, 3).fieldRow(), 1);  // numbers may be separated by blanks
  EXPECT_EQ(form().field(1, 3).fieldColumn(), 2);
  EXPECT_EQ(form().field(1, 3).fieldLabel, "X");
}

TEST_F(FormLoadTest, WhatFollowsTheLastListIsIgnored) {
  FormLoadResult r = load(std::string(kSmallForm) + "Notes: checked 2026\r\n52,0,3,24,21,60,0,Old,0\r\n\"");
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(form().lookupCount(), 1);
  EXPECT_EQ(form().lookups[1].lookupTitle, "Code____Text");
}

TEST_F(FormLoadTest, OneGroupWithoutLookupSection) {
  ASSERT_TRUE(load("1,1\r\n\"d\",1,0,0,0,0,0\r\n1,1,A,1,0,0,0,0,0,\r\n' the end\r\n\r\n").ok);
  EXPECT_EQ(form().lookupCount(), 0);
  EXPECT_EQ(form().lookups.size(), 1u);
}

TEST_F(FormLoadTest, CommentBetweenFieldsIsData) {
  FormLoadResult r = load(
      "1,2\r\n\"d\",2,0,0,0,0,0\r\n1,1,A,1,0,0,0,0,0,\r\n' note\r\n2,1,B,1,0,0,0,0,0,\r\n");
  EXPECT_FALSE(r.ok);
}

TEST_F(FormLoadTest, MissingFileIsReportedAndLeavesTheFormEmpty) {
  ASSERT_TRUE(load(kSmallForm).ok);
  FormLoadResult r = loadForm(t.program().fs, t.program().form, t.program().settings, t.root() + "FORMS\\NONE.JPN");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("FORMS\\NONE.JPN"), std::string::npos);
  EXPECT_EQ(form().groupCount, 0);
  EXPECT_TRUE(form().groups.empty());
}

struct Malformed {
  const char* name;
  const char* content;
  int line;
};

const Malformed kMalformed[] = {
    {"empty", "", 0},
    {"only comments", "' nothing\r\n' here\r\n", 0},
    {"no groups", "0,0\r\n", 1},
    {"negative group count", "-1,1\r\n", 1},
    {"absurd group count", "30000,1\r\n", 1},
    {"count not a number", "\"d,1b\",1\r\n", 1},
    {"more fields than M", "1,1\r\n\"d\",2,0,0,0,0,0\r\n", 2},
    {"continuation beyond G", "1,1\r\n\"d\",1,2,0,0,0,0\r\n1,1,A,1,0,0,0,0,0,\r\n", 2},
    {"window off the screen", "1,1\r\n\"d\",1,0,20,1,26,80\r\n1,1,A,1,0,0,0,0,0,\r\n", 2},
    {"negative width", "1,1\r\n\"d\",1,0,0,0,0,0\r\n1,1,A,-1,0,0,0,0,0,\r\n", 3},
    {"number beyond 16 bits", "1,1\r\n\"d\",1,0,0,0,0,0\r\n1,40000,A,1,0,0,0,0,0,\r\n", 3},
    {"field list beyond L", "1,2\r\n\"d\",2,0,0,0,0,0\r\n1,1,A,1,0,0,0,0,0,\r\n2,1,B,1,0,0,0,0,1,\r\n", 4},
    {"file ends inside a group", "2,1\r\n\"d\",1,0,0,0,0,0\r\n1,1,A,1,0,0,0,0,0,\r\n\"d\",1,0,0,0,0,0\r\n", 4},
    {"file ends inside a field", "1,1\r\n\"d\",1,0,0,0,0,0\r\n1,1,A,1,0\r\n", 3},
    {"more groups than announced",
     "1,1\r\n\"d\",1,0,0,0,0,0\r\n1,1,A,1,0,0,0,0,0,\r\n\"d\",1,0,0,0,0,0\r\n1,1,A,1,0,0,0,0,0,\r\n", 4},
    {"list count 0 followed by a list",
     "1,1\r\n\"d\",1,0,0,0,0,0\r\n1,1,A,1,0,0,0,0,0,\r\n0\r\n52,0,3,24,21,60,0,T,0\r\n", 5},
    {"file ends before the lists", "1,1\r\n\"d\",1,0,0,0,0,0\r\n1,1,A,1,0,0,0,0,0,\r\n2\r\n52,0,3,24,21,60,0,T,0\r\n", 5},
    {"list window without an inside", "1,1\r\n\"d\",1,0,0,0,0,0\r\n1,1,A,1,0,0,0,0,0,\r\n1\r\n52,0,3,24,4,60,0,T,0\r\n", 5},
    {"further list beyond L", "1,1\r\n\"d\",1,0,0,0,0,0\r\n1,1,A,1,0,0,0,0,0,\r\n1\r\n52,0,3,24,21,60,0,T,2\r\n", 5},
    {"filter group beyond G", "1,1\r\n\"d\",1,0,0,0,0,0\r\n1,1,A,1,0,0,0,0,0,\r\n1\r\n52,0,3,24,21,60,2,T,0\r\n", 5},
};

TEST_F(FormLoadTest, MalformedFilesAreRejectedWithFileAndLine) {
  for (const Malformed& m : kMalformed) {
    FormLoadResult r = load(m.content);
    EXPECT_FALSE(r.ok) << m.name;
    EXPECT_EQ(r.line, m.line) << m.name << ": " << r.message;
    EXPECT_NE(r.message.find(path()), std::string::npos) << m.name;
    if (m.line > 0) {
      EXPECT_NE(r.message.find("l\xA1nia " + std::to_string(m.line)), std::string::npos) << m.name;
    }
    EXPECT_EQ(form().groupCount, 0) << m.name;
    EXPECT_TRUE(form().groups.empty()) << m.name;
  }
}

TEST_F(FormLoadTest, MessagesFollowTheLanguage) {
  makeDirectory(t.root() + "LOCALE");
  EXPECT_NE(load("1,1\r\n\"d\",2,0,0,0,0,0\r\n", "SPA").message.find("l\xA1nea 2"), std::string::npos);
  EXPECT_NE(load("1,1\r\n\"d\",2,0,0,0,0,0\r\n", "GLG").message.find("li\xA4" "a 2"), std::string::npos);
  EXPECT_NE(load("1,1\r\n\"d\",2,0,0,0,0,0\r\n", "OCI").message.find("linha 2"), std::string::npos);
  t.program().settings.languageCode = "SPA";
  EXPECT_EQ(loadForm(t.program().fs, t.program().form, t.program().settings, t.root() + "X.JPN").message.rfind("No se puede leer", 0), 0u);
}

TEST_F(FormLoadTest, OperatorFormNeedsItsThreeGroups) {
  ASSERT_TRUE(load(kSmallForm).ok);
  EXPECT_FALSE(checkOperatorForm(t.program().form, t.program().settings, path()).ok);
  EXPECT_NE(checkOperatorForm(t.program().form, t.program().settings, path()).message.find(path()), std::string::npos);
  const std::string field = "1,1,A,1,0,0,0,0,0,\r\n";
  ASSERT_TRUE(load("3,2\r\n\"d\",1,0,0,0,0,0\r\n" + field + "\"d\",1,0,0,0,0,0\r\n" + field +
                   "\"d\",1,0,0,0,0,0\r\n" + field)
                  .ok);
  EXPECT_FALSE(checkOperatorForm(t.program().form, t.program().settings, path()).ok);  // group 2 lacks the access level
  ASSERT_TRUE(load("3,2\r\n\"d\",1,0,0,0,0,0\r\n" + field + "\"d\",2,0,0,0,0,0\r\n" + field + field +
                   "\"d\",1,0,0,0,0,0\r\n" + field)
                  .ok);
  EXPECT_TRUE(checkOperatorForm(t.program().form, t.program().settings, path()).ok);
}

// Without a typable code Esc could never end the program; a wider answer
// could never equal "S".
TEST_F(FormLoadTest, OperatorFormNeedsATypableCodeAndAOneCharacterAnswer) {
  auto form = [](const std::string& code, const std::string& answer) {
    const std::string field = "1,1,A,1,0,0,0,0,0,\r\n";
    return "3,2\r\n\"d\",1,0,0,0,0,0\r\n" + code + "\"d\",2,0,0,0,0,0\r\n" + field + field +
           "\"d\",1,0,0,0,0,0\r\n" + answer;
  };
  const std::string code = "4,5,Code: ,8,0,0,0,1,0,\r\n";
  const std::string answer = "2,3,Sure? ,1,0,3,0,0,0,\r\n";
  ASSERT_TRUE(load(form(code, answer)).ok);
  EXPECT_TRUE(checkOperatorForm(t.program().form, t.program().settings, path()).ok);
  const char* const bad[][2] = {
      {"4,5,Code: ,8,0,0,4,1,0,\r\n", "2,3,Sure? ,1,0,3,0,0,0,\r\n"},  // code protected
      {"4,5,Code: ,0,0,0,0,1,0,\r\n", "2,3,Sure? ,1,0,3,0,0,0,\r\n"},  // code without width
      {"4,5,Code: ,8,0,0,0,1,0,\r\n", "2,3,Sure? ,2,0,3,0,0,0,\r\n"},  // answer two wide
  };
  for (const auto& b : bad) {
    ASSERT_TRUE(load(form(b[0], b[1]), "SPA").ok) << b[0] << b[1];
    FormLoadResult r = checkOperatorForm(t.program().form, t.program().settings, path());
    EXPECT_FALSE(r.ok) << b[0] << b[1];
    EXPECT_EQ(r.message.rfind("El formulario " + path(), 0), 0u) << r.message;
  }
}

// The demo installation's form, as a real session loads it.
class DemoFormTest : public ::testing::Test {
 protected:
  DemoFormTest() { copyTree(demoSourceDir(), t.root()); }
  FormLoadResult load(const std::string& language) {
    t.program().settings.languageCode = language;
    return loadForm(t.program().fs, t.program().form, t.program().settings, formPath());
  }
  std::string formPath() const { return t.root() + "FORMS\\XTANCAR.JPN"; }
  FormDefinition& form() { return t.program().form; }
  TestProgram t;
};

TEST_F(DemoFormTest, CatalanTables) {
  FormLoadResult r = load("CAT");
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_TRUE(checkOperatorForm(t.program().form, t.program().settings, formPath()).ok);
  FormDefinition& f = form();
  EXPECT_EQ(f.groupCount, 3);
  EXPECT_EQ(f.maxFieldCount, 3);

  EXPECT_EQ(f.group(1).groupKeys, "d,1b,5000,9,f00,3e00");
  EXPECT_EQ(f.group(1).groupFieldCount, 2);
  EXPECT_EQ(f.group(1).groupWindow[1], 0);
  FieldDef& code = f.field(1, 1);
  EXPECT_EQ(code.fieldLabel, "Codi d'operador:      ");
  const int16_t codeAttrs[8] = {4, 5, 8, 0, 0, 0, 1, 1};
  for (int a = 0; a < 8; ++a) EXPECT_EQ(code.attr[a], codeAttrs[a]) << a;
  EXPECT_EQ(code.fieldValue, "        ");
  EXPECT_EQ(f.field(1, 2).fieldFlags(), kFlagProtected);

  EXPECT_EQ(f.group(2).groupKeys, "d,1b,4800,5000,4900,5100,9,f00,4200=2");
  EXPECT_EQ(f.group(2).groupFieldCount, 3);
  EXPECT_EQ(f.field(2, 1).fieldWidth(), 8);
  EXPECT_EQ(f.field(2, 2).fieldWidth(), 1);
  EXPECT_EQ(f.field(2, 2).fieldChoices, "|G,GENERAL|R,RESTRINGIT");
  EXPECT_EQ(f.field(2, 3).fieldFlags(), kFlagProtected);

  EXPECT_EQ(f.group(3).groupKeys, "d,1b");
  const int16_t window[5] = {0, 10, 10, 16, 70};
  for (int e = 0; e < 5; ++e) EXPECT_EQ(f.group(3).groupWindow[e], window[e]);
  EXPECT_EQ(f.field(3, 1).fieldWidth(), 1);
  EXPECT_EQ(f.field(3, 1).fieldChoices, "|N,NO|S,S\xD6" /* Í */);

  ASSERT_EQ(f.lookupCount(), 1);
  const int16_t list[8] = {52, 0, 3, 24, 21, 60, 0, 0};
  for (int a = 0; a < 8; ++a) EXPECT_EQ(f.lookups[1].attr[a], list[a]) << a;
  EXPECT_EQ(f.lookups[1].lookupTitle, "Codi______Text______Nivell");
}

TEST_F(DemoFormTest, EveryTextHasItsTranslations) {
  ASSERT_TRUE(load("CAT").ok);
  std::vector<std::string> texts;
  for (int g = 1; g <= form().groupCount; ++g)
    for (int k = 1; k <= form().group(g).groupFieldCount; ++k) {
      texts.push_back(form().field(g, k).fieldLabel);
      if (!form().field(g, k).fieldChoices.empty()) texts.push_back(form().field(g, k).fieldChoices);
    }
  texts.push_back(form().lookups[1].lookupTitle);
  // Texts of the operator procedure.
  for (const char* s : {"GENERAL", "RESTRINGIT", "GENERANT CONTRASENYA INTRANET"}) texts.push_back(s);

  std::optional<std::string> data = readWholeFile(t.root() + "LOCALE/XTANCAR.LNG");
  ASSERT_TRUE(data);
  std::set<std::string> keys;
  ItemReader reader(*data);
  while (!reader.atEnd()) {
    keys.insert(reader.readText());
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(reader.readText().empty());
    EXPECT_FALSE(reader.missed());
  }
  for (const std::string& text : texts) EXPECT_TRUE(keys.count(text)) << text;
}

TEST_F(DemoFormTest, LoadsInEveryLanguageWithTheSameLayout) {
  ASSERT_TRUE(load("CAT").ok);
  FormDefinition catalan = form();
  struct Expect {
    const char* language;
    const char* codeLabel;
    const char* levelChoices;
    const char* title;
  };
  const Expect expected[] = {
      {"SPA", "C\xA2" "digo de operador:   " /* ó */, "|G,GENERAL|R,RESTRINGIDO", "C\xA2" "digo____Texto_____Nivel"},
      {"GLG", "C\xA2" "digo de operador:   " /* ó */, "|G,XERAL|R,RESTRINXIDO", "C\xA2" "digo____Texto_____Nivel"},
      {"OCI", "C\x95" "di d'operador:      " /* ò */, "|G,GENERAU|R,RESTRENHUT", "C\x95" "di______T\x8Axte_____Niv\x8Au" /* ò è è */},
  };
  for (const Expect& e : expected) {
    ASSERT_TRUE(load(e.language).ok) << e.language;
    FormDefinition& f = form();
    EXPECT_EQ(f.field(1, 1).fieldLabel, e.codeLabel) << e.language;
    EXPECT_EQ(f.field(2, 2).fieldChoices, e.levelChoices) << e.language;
    EXPECT_EQ(f.lookups[1].lookupTitle, e.title) << e.language;
    for (int g = 1; g <= 3; ++g) {
      EXPECT_EQ(f.group(g).groupKeys, catalan.group(g).groupKeys);
      for (int k = 1; k <= f.group(g).groupFieldCount; ++k) {
        for (int a = 0; a < 8; ++a) EXPECT_EQ(f.field(g, k).attr[a], catalan.field(g, k).attr[a]);
        // The labels of groups 1 and 2 keep their length, so the values line
        // up and one group's key line covers the other's.
        if (g < 3) {
          EXPECT_EQ(f.field(g, k).fieldLabel.size(), catalan.field(g, k).fieldLabel.size()) << e.language << g << k;
        }
        EXPECT_NE(f.field(g, k).fieldLabel, catalan.field(g, k).fieldLabel) << e.language << g << k;
      }
    }
  }
}

TEST_F(DemoFormTest, MissingMessageFileIsCreatedEmptyAndTextsStayCatalan) {
  removeFile(t.root() + "LOCALE/XTANCAR.LNG");
  ASSERT_TRUE(load("SPA").ok);
  EXPECT_EQ(fileSize(t.root() + "LOCALE/XTANCAR.LNG"), 0);
  EXPECT_EQ(form().field(1, 1).fieldLabel, "Codi d'operador:      ");
  EXPECT_EQ(form().lookups[1].lookupTitle, "Codi______Text______Nivell");
}

TEST_F(DemoFormTest, HelpFilesAreWholeRecordsOfEightyColumns) {
  for (const char* name : {"AJUDA/XTANCAR.HLP", "AJUDA/XMENUPR.HLP"}) {
    std::optional<std::string> data = readWholeFile(t.root() + name);
    ASSERT_TRUE(data) << name;
    EXPECT_GT(data->size(), 0u);
    EXPECT_EQ(data->size() % 80, 0u) << name;
    EXPECT_EQ(data->find_first_of("\r\n"), std::string::npos) << name;
  }
}

}  // namespace
}  // namespace xt
