#include "framework/CmdLineParser.h"

#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace Corvane::TalisFramework {
namespace {

using Tokens = std::vector<std::string>;

std::string Visible(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x20 || c >= 0x7f) {
      out += "\\" + std::to_string(c) + ";";
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

TEST(CmdLineParserTest, SplitsQuotesAndEscapes) {
  struct Case {
    std::string input;
    Tokens tokens;
  };
  const Case cases[] = {
      {"", {}},
      {" \t\n\v\f\r ", {}},
      {"  ls   -l  ", {"ls", "-l"}},
      {"ls\t-l\n-a\r\n", {"ls", "-l", "-a"}},
      {"echo \"\" x", {"echo", "", "x"}},
      {"echo \"\"", {"echo", ""}},
      {"echo ''", {"echo", ""}},
      {"a\"\"b", {"ab"}},
      {"say \"hello world\"", {"say", "hello world"}},
      {"'say \"hi\"'", {"say \"hi\""}},
      {"\"it's\"", {"it's"}},
      {"ab\"c d\"e", {"abc de"}},
      {"\"a\"'b'c", {"abc"}},
      {"a\\tb", {"a\tb"}},
      {"a\\nb\\rc", {"a\nb\rc"}},
      {"a\\qb", {"aqb"}},
      {"a\\ b", {"a b"}},
      {"a\\\\b", {"a\\b"}},
      {"\\\"x", {"\"x"}},
      {"\\'x y", {"'x", "y"}},
      {"\\9\\4", {"94"}},
      {"\"a\\\"b\"", {"a\"b"}},
      {"'a\\'b'", {"a'b"}},
      {"\"a\\tb\"", {"a\tb"}},
      {"\\\n", {"\n"}},
      {std::string("a\0b c", 5), {std::string("a\0b", 3), "c"}},
      {"\xc3\xa9t\xc3\xa9 \xff", {"\xc3\xa9t\xc3\xa9", "\xff"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("input: " + Visible(c.input));
    EXPECT_EQ(c.tokens, CmdLineParser(c.input).GetTokens());
  }
}

// Octal: exactly three digits, the first 0-3; hex: x or X and exactly two hex digits.
// The character after a complete numeric escape is read as usual.
TEST(CmdLineParserTest, NumericEscapesHaveFixedLength) {
  struct Case {
    std::string input;
    Tokens tokens;
  };
  const Case cases[] = {
      {"\\101", {"A"}},
      {"\\1012", {"A2"}},
      {"\\377", {"\xff"}},
      {"\\000x", {std::string("\0x", 2)}},
      {"\\x41", {"A"}},
      {"\\X4a\\x4F", {"JO"}},
      {"\\x414", {"A4"}},
      {"\"\\x20\"", {" "}},
      {"a\\040b", {"a b"}},
      {"\\x41 \\062", {"A", "2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("input: " + c.input);
    EXPECT_EQ(c.tokens, CmdLineParser(c.input).GetTokens());
  }
}

TEST(CmdLineParserTest, RejectsMalformedInput) {
  const std::string kEscape = "Unexpected end of string while in escape sequence";
  const std::string kQuoted = "Unexpected end of string while in quoted string";
  const std::string kOctal = "Invalid octal escape sequence";
  const std::string kHex = "Invalid hex escape sequence";
  struct Case {
    std::string input;
    std::string message;
  };
  const Case cases[] = {
      {"abc\"", kQuoted},
      {"'abc", kQuoted},
      {"a \"b' c", kQuoted},
      {"abc\\", kEscape},
      {"\"abc\\", kEscape},
      {"\\01", kEscape},
      {"\\x4", kEscape},
      {"\\x", kEscape},
      {"\\08a", kOctal},
      {"\\0 1", kOctal},
      {"\\1-1", kOctal},
      {"\\xg1", kHex},
      {"\\x-1", kHex},
      {"\\x 1", kHex},
      {"\\x+f", kHex},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("input: " + c.input);
    try {
      CmdLineParser parser(c.input);
      ADD_FAILURE() << "no exception";
    } catch (const std::invalid_argument& e) {
      EXPECT_EQ(c.message, e.what());
    }
  }
}

TEST(CmdLineParserTest, StaticTokenizeReplacesAndKeepsCompletedTokensOnError) {
  Tokens tokens = {"old"};
  CmdLineParser::Tokenize("a b", tokens);
  EXPECT_EQ((Tokens{"a", "b"}), tokens);
  EXPECT_THROW(CmdLineParser::Tokenize("x 'y z", tokens), std::invalid_argument);
  EXPECT_EQ((Tokens{"x"}), tokens);
}

TEST(CmdLineParserTest, MarkerFormStopsAtTheMarker) {
  struct Case {
    std::string input;
    std::string marker;
    Tokens tokens;
    std::string remainder;
  };
  const Case cases[] = {
      {"set x 1 # note 1", "#", {"set", "x", "1"}, "# note 1"},
      {"set x #'a \"b", "#", {"set", "x"}, "#'a \"b"},
      {"say \"a # b\" # c", "#", {"say", "a # b"}, "# c"},
      {"say 'a#b'", "#", {"say", "a#b"}, ""},
      {"a\\#b #c", "#", {"a#b"}, "#c"},
      {"run a--b c", "--", {"run", "a"}, "--b c"},
      {"run a -", "--", {"run", "a", "-"}, ""},
      {"x \"\"#y", "#", {"x", ""}, "#y"},
      {"x #a\\tb \\", "#", {"x"}, "#a\\tb \\"},
      {"  a b", "", {}, "a b"},
      {"\"q\" b", "", {"q"}, "b"},
      {"a b", " b", {"a", "b"}, ""},
      {"a b", "a b", {}, "a b"},
      {"a b", "\"", {"a", "b"}, ""},
      {"", "#", {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("input: " + c.input + " marker: " + c.marker);
    CmdLineParser parser(c.input, c.marker);
    EXPECT_EQ(c.tokens, parser.GetTokens());
    EXPECT_EQ(c.remainder, parser.GetRemainder());
    EXPECT_EQ(c.input, parser.GetCommandLine());
  }
}

TEST(CmdLineParserTest, MarkerFormStillRejectsMalformedTextBeforeTheMarker) {
  Tokens tokens;
  std::string remainder = "old";
  EXPECT_THROW(CmdLineParser::Tokenize("a 'b # c", tokens, remainder, "#"),
               std::invalid_argument);
  EXPECT_EQ((Tokens{"a"}), tokens);
  EXPECT_EQ("", remainder);
}

TEST(CmdLineParserTest, AccessorsAndSetTokens) {
  CmdLineParser parser("TELEM  fast 'a b'");
  EXPECT_EQ(3, parser.GetTokenCount());
  EXPECT_EQ("a b", parser.GetToken(2));
  EXPECT_EQ("TELEM  fast 'a b'", parser.GetCommandLine());
  EXPECT_EQ("", parser.GetRemainder());
  parser.SetTokens({"x", "it's"});
  EXPECT_EQ(2, parser.GetTokenCount());
  EXPECT_EQ("x it\\'s", parser.GetJoinedTokens());
  EXPECT_EQ("TELEM  fast 'a b'", parser.GetCommandLine());
}

TEST(CmdLineParserTest, JoinEscapesQuotesBackslashAndNul) {
  EXPECT_EQ("", CmdLineParser::JoinTokens({}));
  EXPECT_EQ("it\\'s a b c\\\\d", CmdLineParser::JoinTokens({"it's", "a b", "c\\d"}));
  EXPECT_EQ(std::string("\\\"x\\\0", 5), CmdLineParser::JoinTokens({"\"x" + std::string(1, '\0')}));
  EXPECT_EQ("a  b", CmdLineParser::JoinTokens({"a", "", "b"}));
}

TEST(CmdLineParserTest, JoinedTokensTokenizeBackToTheSameList) {
  const Tokens lists[] = {
      {"ls"},
      {"it's", "\"quoted\"", "back\\slash", "\\", "'", "\"\"", "\\101", "\\x41", "\\n"},
      {std::string("nul\0byte", 8), std::string(1, '\0'), "\xff\x80", "a#b"},
      {"TELEM", "fast", "Temp,double,21.5", "Name,string,\"probe\""},
  };
  for (const Tokens& tokens : lists) {
    const std::string joined = CmdLineParser::JoinTokens(tokens);
    SCOPED_TRACE("joined: " + Visible(joined));
    EXPECT_EQ(tokens, CmdLineParser(joined).GetTokens());
  }
}

}  // namespace
}  // namespace Corvane::TalisFramework
