#pragma once

#include <ctime>
#include <string>
#include <typeinfo>

#include <boost/lexical_cast.hpp>

// The pure parts of the driver's text command language: keyword matching, whole-token
// number conversion, telemetry field tokens and the time result. Everything here is
// stateless and safe to call from any thread.
namespace CommandLanguage {

// The keywords in the order they are tested; None when token 0 matches no keyword.
enum class Keyword { AsynchReturn, NfaLiteral, NfaFile, Telem, TelemChange, Shutdown, ThrowBad, None };

// True when both texts have the same length and are equal once every character is
// upper-cased in the default locale.
bool EqualsIgnoreCase(const std::string& left, const std::string& right);

// Trims white space (default locale) from both ends of `token` and matches it against
// the keywords without regard to case.
Keyword MatchKeyword(const std::string& token);

// Converts the whole token to T: no white space is skipped and every character must be
// consumed. Returns false (and leaves `value` unspecified) when the token does not convert.
template <typename T>
bool ConvertWholeToken(const std::string& token, T& value) {
  return boost::conversion::try_lexical_convert(token, value);
}

// A telemetry field token "name,type,value" split at its first two commas; the value
// is everything after the second comma and may itself hold commas.
struct TelemField {
  std::string name;
  std::string type;
  std::string value;
};

enum class FieldSplit { Ok, MissingComma, EmptyNameOrType };

// Splits `token` into `field`. On MissingComma `field` is untouched; on
// EmptyNameOrType it holds the three parts.
FieldSplit SplitTelemField(const std::string& token, TelemField& field);

// asctime_r's text for `when` (seconds since 1970-01-01 00:00 UTC, taken as UTC), cut at
// the first carriage return or line feed.
std::string AsctimeUtc(std::time_t when);

// "Time=" followed by AsctimeUtc(when).
std::string TimeResult(std::time_t when);

// The type-information name of a type, with a leading '*' skipped.
std::string RunTimeTypeName(const std::type_info& type);

}  // namespace CommandLanguage
