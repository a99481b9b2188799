#include "specimen/CommandLanguage.h"

#include <cctype>
#include <locale>

#include <boost/algorithm/string/trim.hpp>

namespace CommandLanguage {

namespace {

struct KeywordEntry {
  const char* word;
  Keyword keyword;
};

// Tested in this order; the first match wins.
const KeywordEntry kKeywords[] = {
    {"ASYNCHRETURN", Keyword::AsynchReturn}, {"NFALITERAL", Keyword::NfaLiteral},
    {"NFAFILE", Keyword::NfaFile},           {"TELEM", Keyword::Telem},
    {"TELEMCHANGE", Keyword::TelemChange},   {"SHUTDOWN", Keyword::Shutdown},
    {"THROWBAD", Keyword::ThrowBad},
};

}  // namespace

bool EqualsIgnoreCase(const std::string& left, const std::string& right) {
  if (left.size() != right.size()) {
    return false;
  }
  for (std::string::size_type i = 0; i < left.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(left[i])) !=
        std::toupper(static_cast<unsigned char>(right[i]))) {
      return false;
    }
  }
  return true;
}

Keyword MatchKeyword(const std::string& token) {
  const std::string word = boost::algorithm::trim_copy(token, std::locale());
  for (const KeywordEntry& entry : kKeywords) {
    if (EqualsIgnoreCase(word, entry.word)) {
      return entry.keyword;
    }
  }
  return Keyword::None;
}

FieldSplit SplitTelemField(const std::string& token, TelemField& field) {
  const std::string::size_type first = token.find(',');
  if (first == std::string::npos) {
    return FieldSplit::MissingComma;
  }
  const std::string::size_type second = token.find(',', first + 1);
  if (second == std::string::npos) {
    return FieldSplit::MissingComma;
  }
  field.name = token.substr(0, first);
  field.type = token.substr(first + 1, second - first - 1);
  field.value = token.substr(second + 1);
  if (field.name.empty() || field.type.empty()) {
    return FieldSplit::EmptyNameOrType;
  }
  return FieldSplit::Ok;
}

std::string AsctimeUtc(std::time_t when) {
  struct tm broken = {};
  char text[64] = {};
  if (gmtime_r(&when, &broken) == nullptr || asctime_r(&broken, text) == nullptr) {
    return std::string();
  }
  std::string result(text);
  return result.substr(0, result.find_first_of("\r\n"));
}

std::string TimeResult(std::time_t when) { return "Time=" + AsctimeUtc(when); }

std::string RunTimeTypeName(const std::type_info& type) {
  const char* name = type.name();
  if (*name == '*') {
    ++name;
  }
  return name;
}

}  // namespace CommandLanguage
