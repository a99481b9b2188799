#include "specimen/CommandLanguage.h"

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

namespace {

using CommandLanguage::FieldSplit;
using CommandLanguage::Keyword;

TEST(CommandLanguageTest, MatchesTrimmedKeywordsWithoutRegardToCase) {
  struct Case {
    const char* token;
    Keyword keyword;
  };
  const Case cases[] = {
      {"ASYNCHRETURN", Keyword::AsynchReturn}, {"nfaliteral", Keyword::NfaLiteral},
      {"NfaFile", Keyword::NfaFile},           {"telem", Keyword::Telem},
      {"Telem", Keyword::Telem},               {"TELEMCHANGE", Keyword::TelemChange},
      {" \tshutdown\n ", Keyword::Shutdown},   {"ThrowBad", Keyword::ThrowBad},
      {"", Keyword::None},                     {"TELEMX", Keyword::None},
      {"TELE", Keyword::None},                 {"HELLO", Keyword::None},
      {"SHUT DOWN", Keyword::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("'") + c.token + "'");
    EXPECT_EQ(c.keyword, CommandLanguage::MatchKeyword(c.token));
  }
}

TEST(CommandLanguageTest, ConvertsOnlyWholeTokens) {
  float seconds = -1;
  EXPECT_TRUE(CommandLanguage::ConvertWholeToken("2.5", seconds));
  EXPECT_FLOAT_EQ(2.5f, seconds);
  EXPECT_TRUE(CommandLanguage::ConvertWholeToken("-5", seconds));
  EXPECT_FLOAT_EQ(-5.0f, seconds);
  int times = 0;
  EXPECT_TRUE(CommandLanguage::ConvertWholeToken("-3", times));
  EXPECT_EQ(-3, times);
  std::uint16_t code = 0;
  EXPECT_TRUE(CommandLanguage::ConvertWholeToken("300", code));
  EXPECT_EQ(300, code);

  const char* refusedFloats[] = {"abc", " 1", "1 ", "1x", "", "1,5"};
  for (const char* text : refusedFloats) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(CommandLanguage::ConvertWholeToken(text, seconds));
  }
  const char* refusedInts[] = {"1.5", "2147483648", " 7", "7 ", "0x10"};
  for (const char* text : refusedInts) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(CommandLanguage::ConvertWholeToken(text, times));
  }
  EXPECT_FALSE(CommandLanguage::ConvertWholeToken("65536", code));
}

TEST(CommandLanguageTest, SplitsTelemetryFieldsAtTheFirstTwoCommas) {
  struct Case {
    const char* token;
    FieldSplit split;
    const char* name;
    const char* type;
    const char* value;
  };
  const Case cases[] = {
      {"temp,double,21.5", FieldSplit::Ok, "temp", "double", "21.5"},
      {"a,b,", FieldSplit::Ok, "a", "b", ""},
      {"a,b,c,d", FieldSplit::Ok, "a", "b", "c,d"},
      {",b,c", FieldSplit::EmptyNameOrType, "", "b", "c"},
      {"a,,c", FieldSplit::EmptyNameOrType, "a", "", "c"},
      {"a,b", FieldSplit::MissingComma, "", "", ""},
      {"abc", FieldSplit::MissingComma, "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.token);
    CommandLanguage::TelemField field;
    ASSERT_EQ(c.split, CommandLanguage::SplitTelemField(c.token, field));
    EXPECT_EQ(c.name, field.name);
    EXPECT_EQ(c.type, field.type);
    EXPECT_EQ(c.value, field.value);
  }
}

TEST(CommandLanguageTest, TimeResultHasNoLineEnd) {
  EXPECT_EQ("Time=Thu Jan  1 00:00:00 1970", CommandLanguage::TimeResult(0));
  EXPECT_EQ("Sat Feb 14 00:00:00 2009", CommandLanguage::AsctimeUtc(1234569600));
}

}  // namespace
