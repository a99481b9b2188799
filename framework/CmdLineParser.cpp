#include "framework/CmdLineParser.h"

#include <stdint.h>

#include <array>
#include <stdexcept>

namespace Corvane::TalisFramework {

namespace {

enum CharClass : uint8_t { kOrdinary, kSpace, kQuote, kBackslash };

// The white space of the C locale's isspace, quotes and the backslash; every other byte
// is ordinary. A table lets runs of ordinary bytes be scanned and copied at once.
constexpr std::array<uint8_t, 256> MakeClassTable() {
  std::array<uint8_t, 256> table{};
  for (unsigned char c : {' ', '\t', '\n', '\v', '\f', '\r'}) {
    table[c] = kSpace;
  }
  table[static_cast<unsigned char>('"')] = kQuote;
  table[static_cast<unsigned char>('\'')] = kQuote;
  table[static_cast<unsigned char>('\\')] = kBackslash;
  return table;
}

constexpr std::array<uint8_t, 256> kClass = MakeClassTable();

inline CharClass ClassOf(char c) {
  return static_cast<CharClass>(kClass[static_cast<unsigned char>(c)]);
}

[[noreturn]] void ThrowEndInEscape() {
  throw std::invalid_argument("Unexpected end of string while in escape sequence");
}

int OctalDigit(char c) { return c >= '0' && c <= '7' ? c - '0' : -1; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

// Reads a fixed number of digits in one base; -1 if any of them is not a digit.
int ConvertDigits(const char* digits, int count, int base) {
  int value = 0;
  for (int i = 0; i < count; ++i) {
    const int digit = base == 8 ? OctalDigit(digits[i]) : HexDigit(digits[i]);
    if (digit < 0) {
      return -1;
    }
    value = value * base + digit;
  }
  return value;
}

// One pass over the input. The marker, when there is one, is looked for only where an
// ordinary character stands outside quotes and escapes.
class Tokenizer {
 public:
  Tokenizer(const std::string& text, std::vector<std::string>& out, std::string* rest,
            const std::string* stopAt)
      : input(text), tokens(out), remainder(rest), marker(stopAt) {}

  void Run() {
    const size_t size = input.size();
    size_t pos = 0;
    while (pos < size) {
      switch (ClassOf(input[pos])) {
        case kOrdinary:
          if (!ReadWord(pos)) {
            return;
          }
          break;
        case kSpace:
          while (pos < size && ClassOf(input[pos]) == kSpace) {
            ++pos;
          }
          EndToken();
          break;
        case kQuote:
          ReadQuoted(pos);
          break;
        case kBackslash:
          ReadEscape(pos);
          break;
      }
    }
    if (!token.empty() || quoted) {
      tokens.push_back(std::move(token));
    }
  }

 private:
  void EndToken() {
    if (!token.empty() || quoted) {
      tokens.push_back(std::move(token));
      token.clear();
    }
    quoted = false;
  }

  // Appends the run of ordinary characters at pos. Returns false when the marker was
  // found in it: the token so far is completed and the rest of the input is the remainder.
  bool ReadWord(size_t& pos) {
    size_t end = pos + 1;
    while (end < input.size() && ClassOf(input[end]) == kOrdinary) {
      ++end;
    }
    const size_t markerPos = marker == nullptr ? std::string::npos : NextMarker(pos);
    if (markerPos < end) {
      token.append(input, pos, markerPos - pos);
      EndToken();
      remainder->assign(input, markerPos, std::string::npos);
      return false;
    }
    if (token.empty() && !quoted && (end == input.size() || ClassOf(input[end]) == kSpace)) {
      // A whole bare word: the common case, built in place.
      tokens.emplace_back(input, pos, end - pos);
    } else {
      token.append(input, pos, end - pos);
    }
    pos = end;
    return true;
  }

  // The first match of the marker at or after pos, found once and reused until passed.
  size_t NextMarker(size_t pos) {
    if (markerSearched && (nextMarker == std::string::npos || nextMarker >= pos)) {
      return nextMarker;
    }
    markerSearched = true;
    nextMarker = input.find(*marker, pos);
    return nextMarker;
  }

  // pos is at the opening quote; on return it is past the closing one.
  void ReadQuoted(size_t& pos) {
    const char quote = input[pos++];
    quoted = true;
    const size_t size = input.size();
    for (;;) {
      size_t end = pos;
      while (end < size && input[end] != quote && input[end] != '\\') {
        ++end;
      }
      token.append(input, pos, end - pos);
      pos = end;
      if (pos == size) {
        throw std::invalid_argument("Unexpected end of string while in quoted string");
      }
      if (input[pos] == quote) {
        ++pos;
        return;
      }
      ReadEscape(pos);
    }
  }

  // pos is at the backslash; on return it is past the escape.
  void ReadEscape(size_t& pos) {
    const size_t size = input.size();
    if (pos + 1 >= size) {
      ThrowEndInEscape();
    }
    const char c = input[pos + 1];
    switch (c) {
      case 'n':
        token += '\n';
        break;
      case 't':
        token += '\t';
        break;
      case 'r':
        token += '\r';
        break;
      case '0':
      case '1':
      case '2':
      case '3':
        token += NumericEscape(pos + 1, 3, 8, "Invalid octal escape sequence");
        pos += 4;
        return;
      case 'x':
      case 'X':
        token += NumericEscape(pos + 2, 2, 16, "Invalid hex escape sequence");
        pos += 4;
        return;
      default:
        token += c;
        break;
    }
    pos += 2;
  }

  char NumericEscape(size_t digitsPos, int count, int base, const char* invalidMessage) {
    if (digitsPos + count > input.size()) {
      ThrowEndInEscape();
    }
    const int value = ConvertDigits(input.data() + digitsPos, count, base);
    if (value < 0) {
      throw std::invalid_argument(invalidMessage);
    }
    return static_cast<char>(value & 0xff);
  }

  const std::string& input;
  std::vector<std::string>& tokens;
  std::string* remainder;
  const std::string* marker;
  std::string token;
  bool quoted = false;
  bool markerSearched = false;
  size_t nextMarker = std::string::npos;
};

}  // namespace

CmdLineParser::CmdLineParser(const std::string& text) : commandLine(text) {
  Tokenize(commandLine, tokens);
}

CmdLineParser::CmdLineParser(const std::string& text, const std::string& marker)
    : commandLine(text) {
  Tokenize(commandLine, tokens, remainder, marker);
}

void CmdLineParser::Tokenize(const std::string& input, std::vector<std::string>& tokens) {
  tokens.clear();
  Tokenizer(input, tokens, nullptr, nullptr).Run();
}

void CmdLineParser::Tokenize(const std::string& input, std::vector<std::string>& tokens,
                             std::string& remainder, const std::string& marker) {
  tokens.clear();
  remainder.clear();
  Tokenizer(input, tokens, &remainder, &marker).Run();
}

std::string CmdLineParser::JoinTokens(const std::vector<std::string>& tokens) {
  std::string line;
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (i > 0) {
      line += ' ';
    }
    for (char c : tokens[i]) {
      if (c == '\'' || c == '"' || c == '\\' || c == '\0') {
        line += '\\';
      }
      line += c;
    }
  }
  return line;
}

}  // namespace Corvane::TalisFramework
