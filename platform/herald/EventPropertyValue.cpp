#include "platform/herald/EventPropertyValue.h"

#include <charconv>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include <boost/algorithm/string/predicate.hpp>

#include "platform/herald/WireFormat.h"

namespace Corvane::Herald {

namespace {

struct StorageWord {
  const char* word;
  EventPropertyValue::StorageType type;
};

using Type = EventPropertyValue::StorageType;

const StorageWord kStorageWords[] = {
    {"bool", Type::Bool},   {"char", Type::Char},         {"octet", Type::Octet},
    {"short", Type::Short}, {"ushort", Type::UShort},     {"long", Type::Long},
    {"ulong", Type::ULong}, {"longlong", Type::LongLong}, {"ulonglong", Type::ULongLong},
    {"float", Type::Float}, {"double", Type::Double},     {"string", Type::String},
};

[[noreturn]] void Refuse(Type type, const std::string& text) {
  throw std::invalid_argument("EventPropertyValue::SetAsString: '" + text + "' is not a valid " +
                              EventPropertyValue::ToString(type));
}

// Converts the whole of `text`; no white space, at most one leading '+' (or '-' for the
// signed types). from_chars already refuses a minus sign for unsigned types.
template <class Number>
Number ParseNumber(Type type, const std::string& text) {
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+' && last - first > 1 && first[1] != '-' && first[1] != '+') {
    ++first;
  }
  Number value{};
  const auto result = std::from_chars(first, last, value);
  if (first == last || result.ec != std::errc() || result.ptr != last) {
    Refuse(type, text);
  }
  return value;
}

bool ParseBool(const std::string& text) {
  if (text == "1" || boost::algorithm::iequals(text, "true")) {
    return true;
  }
  if (text == "0" || boost::algorithm::iequals(text, "false")) {
    return false;
  }
  Refuse(Type::Bool, text);
}

}  // namespace

EventPropertyValue::EventPropertyValue(TalisFramework::IObjectBroker& brokerIn)
    : broker(&brokerIn) {
  value <<= "";
}

bool EventPropertyValue::FromString(const std::string& word, StorageType& typeOut) {
  for (const StorageWord& entry : kStorageWords) {
    if (boost::algorithm::iequals(word, entry.word)) {
      typeOut = entry.type;
      return true;
    }
  }
  return false;
}

const char* EventPropertyValue::ToString(StorageType typeIn) {
  for (const StorageWord& entry : kStorageWords) {
    if (entry.type == typeIn) {
      return entry.word;
    }
  }
  return "string";
}

void EventPropertyValue::SetAsString(StorageType typeIn, const std::string& text) {
  CORBA::Any converted;
  switch (typeIn) {
    case Type::Bool:
      converted <<= CORBA::Any::from_boolean(ParseBool(text));
      break;
    case Type::Char:
      if (text.size() != 1) {
        Refuse(typeIn, text);
      }
      converted <<= CORBA::Any::from_char(text[0]);
      break;
    case Type::Octet:
      converted <<= CORBA::Any::from_octet(ParseNumber<unsigned char>(typeIn, text));
      break;
    case Type::Short:
      converted <<= ParseNumber<CORBA::Short>(typeIn, text);
      break;
    case Type::UShort:
      converted <<= ParseNumber<CORBA::UShort>(typeIn, text);
      break;
    case Type::Long:
      converted <<= ParseNumber<CORBA::Long>(typeIn, text);
      break;
    case Type::ULong:
      converted <<= ParseNumber<CORBA::ULong>(typeIn, text);
      break;
    case Type::LongLong:
      converted <<= ParseNumber<CORBA::LongLong>(typeIn, text);
      break;
    case Type::ULongLong:
      converted <<= ParseNumber<CORBA::ULongLong>(typeIn, text);
      break;
    case Type::Float:
      converted <<= ParseNumber<CORBA::Float>(typeIn, text);
      break;
    case Type::Double:
      converted <<= ParseNumber<CORBA::Double>(typeIn, text);
      break;
    case Type::String:
      converted <<= text.c_str();
      break;
  }
  type = typeIn;
  value = converted;
}

void EventPropertyValue::SetString(const std::string& text) {
  SetAsString(Type::String, text);
}

void EventPropertyValue::SetFromAny(const CORBA::Any& any) {
  CORBA::TypeCode_var code = any.type();
  while (code->kind() == CORBA::tk_alias) {
    code = code->content_type();
  }
  static const struct {
    CORBA::TCKind kind;
    StorageType type;
  } kKinds[] = {
      {CORBA::tk_boolean, Type::Bool},        {CORBA::tk_char, Type::Char},
      {CORBA::tk_octet, Type::Octet},         {CORBA::tk_short, Type::Short},
      {CORBA::tk_ushort, Type::UShort},       {CORBA::tk_long, Type::Long},
      {CORBA::tk_ulong, Type::ULong},         {CORBA::tk_longlong, Type::LongLong},
      {CORBA::tk_ulonglong, Type::ULongLong}, {CORBA::tk_float, Type::Float},
      {CORBA::tk_double, Type::Double},       {CORBA::tk_string, Type::String},
  };
  for (const auto& entry : kKinds) {
    if (entry.kind == code->kind()) {
      type = entry.type;
      value = any;
      return;
    }
  }
  throw std::invalid_argument("EventPropertyValue::SetFromAny: the value is of no storage type");
}

void EventPropertyValue::CopyOut(CORBA::Any& out) const {
  out = value;
}

std::string EventPropertyValue::ToText() const {
  if (type == Type::String) {
    const char* text = "";
    value >>= text;
    return text;
  }
  if (type == Type::Char) {
    CORBA::Char c = 0;
    value >>= CORBA::Any::to_char(c);
    return std::string(1, static_cast<char>(c));
  }
  std::ostringstream text;
  WireFormat::DescribeAny(text, value);
  return text.str();
}

}  // namespace Corvane::Herald
