// Fuzz entry for the command-line tokenizer. Besides crashes and sanitizer reports it
// checks three properties and aborts when one fails:
//  - a token list without empty tokens and without white space survives joining and
//    tokenizing again unchanged;
//  - a joined line always tokenizes without an error;
//  - the marker form yields the remainder as an untouched suffix of the input that starts
//    with the marker, and the same tokens as the plain form over the text before it.
// The first input byte picks a marker length (0 to 2) and the marker's bytes follow it;
// the plain form reads the whole input.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "framework/CmdLineParser.h"

namespace {

using Corvane::TalisFramework::CmdLineParser;
using Tokens = std::vector<std::string>;

void Check(bool condition, const char* what) {
  if (!condition) {
    fprintf(stderr, "tokenizer property failed: %s\n", what);
    abort();
  }
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool SurvivesJoining(const Tokens& tokens) {
  for (const std::string& token : tokens) {
    if (token.empty()) {
      return false;
    }
    for (char c : token) {
      if (IsSpace(c)) {
        return false;
      }
    }
  }
  return true;
}

void CheckJoining(const Tokens& tokens) {
  const std::string joined = CmdLineParser::JoinTokens(tokens);
  Tokens again;
  try {
    CmdLineParser::Tokenize(joined, again);
  } catch (const std::invalid_argument&) {
    Check(false, "a joined line does not tokenize");
  }
  if (SurvivesJoining(tokens)) {
    Check(again == tokens, "joined tokens do not tokenize back to the same list");
  }
}

void CheckMarkerForm(const std::string& input, const std::string& marker) {
  Tokens tokens;
  std::string remainder;
  try {
    CmdLineParser::Tokenize(input, tokens, remainder, marker);
  } catch (const std::invalid_argument&) {
    return;
  }
  Check(remainder.size() <= input.size(), "remainder longer than the input");
  const std::string before = input.substr(0, input.size() - remainder.size());
  Check(input.compare(before.size(), std::string::npos, remainder) == 0,
        "remainder is not a suffix of the input");
  if (!remainder.empty()) {
    Check(remainder.compare(0, marker.size(), marker) == 0,
          "remainder does not start with the marker");
  }
  Tokens plain;
  try {
    CmdLineParser::Tokenize(before, plain);
  } catch (const std::invalid_argument&) {
    Check(false, "text before the marker does not tokenize on its own");
  }
  Check(plain == tokens, "marker form and plain form disagree before the marker");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  Tokens tokens;
  try {
    CmdLineParser::Tokenize(input, tokens);
    CheckJoining(tokens);
  } catch (const std::invalid_argument&) {
    // Malformed input is rejected, which is fine; the tokens completed so far still join.
    CheckJoining(tokens);
  }
  if (size > 0) {
    const size_t markerSize = data[0] % 3 <= size - 1 ? data[0] % 3 : size - 1;
    const std::string marker = input.substr(1, markerSize);
    CheckMarkerForm(input.substr(1 + markerSize), marker);
  }
  return 0;
}
