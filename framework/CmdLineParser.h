#pragma once

#include <string>
#include <vector>

namespace Corvane::TalisFramework {

// Splits one line of text into tokens the way a simple shell does: white space (isspace)
// separates tokens, single or double quotes group text that holds white space (and may
// open and close in the middle of a token), and a backslash escapes the next character.
// A pair of quotes with nothing between them, standing alone, is one empty token.
//
// Escapes (the same inside and outside quotes): \n line feed, \t tab, \r carriage return;
// \ooo an octal escape of exactly three octal digits, the first of them 0 to 3 (\101 is
// 'A'); \xhh or \Xhh a hexadecimal escape of exactly two hex digits after the x (\x41 is
// 'A'). A numeric escape gives one byte; the character after it is read afresh (\1012 is
// "A2"). A numeric escape whose digits are not all valid throws std::invalid_argument
// ("Invalid octal escape sequence" / "Invalid hex escape sequence"). A backslash before
// any other character gives that character itself (\\, \", \', "\ ", \q, \9).
//
// Marker form: tokenizing stops at the first ordinary character (outside quotes and
// escapes) where the marker text begins, also inside a word; everything from the marker
// on is handed back untouched, backslashes included, as the remainder. An empty marker
// matches at the first ordinary character.
//
// Malformed input throws std::invalid_argument: "Unexpected end of string while in escape
// sequence" (also for an unfinished numeric escape), checked before "Unexpected end of
// string while in quoted string".
//
// Objects are immutable except through SetTokens; concurrent readers are fine.
class CmdLineParser {
 public:
  explicit CmdLineParser(const std::string& commandLine);
  CmdLineParser(const std::string& commandLine, const std::string& marker);

  const std::vector<std::string>& GetTokens() const { return tokens; }
  int GetTokenCount() const { return static_cast<int>(tokens.size()); }
  // index must be below GetTokenCount(); it is not checked.
  const std::string& GetToken(int index) const { return tokens[index]; }
  const std::string& GetCommandLine() const { return commandLine; }
  const std::string& GetRemainder() const { return remainder; }
  // Replaces the tokens; the command line and remainder stay as they are.
  void SetTokens(const std::vector<std::string>& newTokens) { tokens = newTokens; }

  // Clears tokens, then appends the tokens of input. On a throw, tokens holds the tokens
  // completed before the error.
  static void Tokenize(const std::string& input, std::vector<std::string>& tokens);
  // Clears tokens and remainder, then tokenizes input up to marker.
  static void Tokenize(const std::string& input, std::vector<std::string>& tokens,
                       std::string& remainder, const std::string& marker);
  // The tokens separated by single spaces; each single quote, double quote, backslash and
  // NUL byte gets a backslash before it. Tokenizing the result gives the tokens back as
  // long as none is empty and none contains white space.
  static std::string JoinTokens(const std::vector<std::string>& tokens);
  std::string GetJoinedTokens() const { return JoinTokens(tokens); }

 private:
  std::string commandLine;
  std::vector<std::string> tokens;
  std::string remainder;
};

}  // namespace Corvane::TalisFramework
