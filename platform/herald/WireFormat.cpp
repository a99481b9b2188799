#include "platform/herald/WireFormat.h"

#include <charconv>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <type_traits>

namespace Corvane::Herald {

namespace {

template <class Float>
void WriteFloat(std::ostream& out, Float value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value);
  out.write(text, result.ptr - text);
}

void WriteQuoted(std::ostream& out, const unsigned char* bytes, std::size_t count) {
  static const char kHex[] = "0123456789abcdef";
  out << '\'';
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned char byte = bytes[i];
    if (byte == '\'' || byte == '\\') {
      out << '\\' << static_cast<char>(byte);
    } else if (byte < 0x20 || byte >= 0x7f) {
      out << "\\x" << kHex[byte >> 4] << kHex[byte & 0xf];
    } else {
      out << static_cast<char>(byte);
    }
  }
  out << '\'';
}

void WriteQuoted(std::ostream& out, const char* text) {
  WriteQuoted(out, reinterpret_cast<const unsigned char*>(text), std::strlen(text));
}

template <class Number>
bool WriteNumber(std::ostream& out, const CORBA::Any& value) {
  Number number{};
  if (!(value >>= number)) {
    return false;
  }
  if constexpr (std::is_floating_point_v<Number>) {
    WriteFloat(out, number);
  } else {
    out << number;
  }
  return true;
}

// Texts, nested Anys and octet sequences; false for any other type.
bool WriteOther(std::ostream& out, const CORBA::Any& value) {
  const char* text = nullptr;
  if (value >>= text) {
    WriteQuoted(out, text);
    return true;
  }
  const CORBA::Any* inner = nullptr;
  if (value >>= inner) {
    WireFormat::DescribeAny(out, *inner);
    return true;
  }
  const CORBA::OctetSeq* bytes = nullptr;
  if (value >>= bytes) {
    WriteQuoted(out, bytes->get_buffer(), bytes->length());
    return true;
  }
  return false;
}

[[noreturn]] void ThrowWrongType(const char* name, const char* expected) {
  throw std::runtime_error(std::string("event field ") + name + " does not hold a " + expected);
}

// Finds `name` and extracts it with `extract`; see the class comment.
template <class Extract>
bool ReadField(const CosNotification::StructuredEvent& event, const char* name,
               const char* expected, Extract extract) {
  const CORBA::Any* value = WireFormat::Find(event, name);
  if (value == nullptr) {
    return false;
  }
  if (!extract(*value)) {
    ThrowWrongType(name, expected);
  }
  return true;
}

}  // namespace

void WireFormat::Add(CosNotification::StructuredEvent& event, const char* name,
                     const CORBA::Any& value) {
  const CORBA::ULong index = event.filterable_data.length();
  event.filterable_data.length(index + 1);
  event.filterable_data[index].name = CORBA::string_dup(name);
  event.filterable_data[index].value = value;
}

void WireFormat::AddUShort(CosNotification::StructuredEvent& event, const char* name,
                           unsigned short value) {
  CORBA::Any any;
  any <<= static_cast<CORBA::UShort>(value);
  Add(event, name, any);
}

void WireFormat::AddDouble(CosNotification::StructuredEvent& event, const char* name,
                           double value) {
  CORBA::Any any;
  any <<= static_cast<CORBA::Double>(value);
  Add(event, name, any);
}

void WireFormat::AddString(CosNotification::StructuredEvent& event, const char* name,
                           const std::string& value) {
  CORBA::Any any;
  any <<= value.c_str();
  Add(event, name, any);
}

void WireFormat::AddBoolean(CosNotification::StructuredEvent& event, const char* name, bool value) {
  CORBA::Any any;
  any <<= CORBA::Any::from_boolean(value);
  Add(event, name, any);
}

const CORBA::Any* WireFormat::Find(const CosNotification::StructuredEvent& event,
                                   const char* name) {
  for (CORBA::ULong i = 0; i < event.filterable_data.length(); ++i) {
    if (std::strcmp(event.filterable_data[i].name.in(), name) == 0) {
      return &event.filterable_data[i].value;
    }
  }
  return nullptr;
}

bool WireFormat::ReadUShort(const CosNotification::StructuredEvent& event, const char* name,
                            unsigned short& out) {
  return ReadField(event, name, "ushort", [&](const CORBA::Any& any) {
    CORBA::UShort value = 0;
    if (!(any >>= value)) {
      return false;
    }
    out = value;
    return true;
  });
}

bool WireFormat::ReadOctet(const CosNotification::StructuredEvent& event, const char* name,
                           unsigned char& out) {
  return ReadField(event, name, "octet", [&](const CORBA::Any& any) {
    CORBA::Octet value = 0;
    if (!(any >>= CORBA::Any::to_octet(value))) {
      return false;
    }
    out = value;
    return true;
  });
}

bool WireFormat::ReadLong(const CosNotification::StructuredEvent& event, const char* name,
                          long& out) {
  return ReadField(event, name, "long", [&](const CORBA::Any& any) {
    CORBA::Long value = 0;
    if (!(any >>= value)) {
      return false;
    }
    out = value;
    return true;
  });
}

bool WireFormat::ReadDouble(const CosNotification::StructuredEvent& event, const char* name,
                            double& out) {
  return ReadField(event, name, "double", [&](const CORBA::Any& any) {
    CORBA::Double value = 0;
    if (!(any >>= value)) {
      return false;
    }
    out = value;
    return true;
  });
}

bool WireFormat::ReadString(const CosNotification::StructuredEvent& event, const char* name,
                            std::string& out) {
  return ReadField(event, name, "string", [&](const CORBA::Any& any) {
    const char* value = nullptr;
    if (!(any >>= value)) {
      return false;
    }
    out = value;
    return true;
  });
}

bool WireFormat::ReadBoolean(const CosNotification::StructuredEvent& event, const char* name,
                             bool& out) {
  return ReadField(event, name, "boolean", [&](const CORBA::Any& any) {
    CORBA::Boolean value = false;
    if (!(any >>= CORBA::Any::to_boolean(value))) {
      return false;
    }
    out = value;
    return true;
  });
}

void WireFormat::DescribeAny(std::ostream& out, const CORBA::Any& value) {
  CORBA::TypeCode_var type = value.type();
  while (type->kind() == CORBA::tk_alias) {
    type = type->content_type();
  }
  bool written = true;
  switch (type->kind()) {
    case CORBA::tk_null:
    case CORBA::tk_void:
      out << '-';
      break;
    case CORBA::tk_boolean: {
      CORBA::Boolean v = false;
      written = value >>= CORBA::Any::to_boolean(v);
      out << (v ? "true" : "false");
      break;
    }
    case CORBA::tk_char: {
      CORBA::Char v = 0;
      written = value >>= CORBA::Any::to_char(v);
      const unsigned char byte = static_cast<unsigned char>(v);
      WriteQuoted(out, &byte, 1);
      break;
    }
    case CORBA::tk_octet: {
      CORBA::Octet v = 0;
      written = value >>= CORBA::Any::to_octet(v);
      out << static_cast<unsigned>(v);
      break;
    }
    case CORBA::tk_short:
      written = WriteNumber<CORBA::Short>(out, value);
      break;
    case CORBA::tk_ushort:
      written = WriteNumber<CORBA::UShort>(out, value);
      break;
    case CORBA::tk_long:
      written = WriteNumber<CORBA::Long>(out, value);
      break;
    case CORBA::tk_ulong:
      written = WriteNumber<CORBA::ULong>(out, value);
      break;
    case CORBA::tk_longlong:
      written = WriteNumber<CORBA::LongLong>(out, value);
      break;
    case CORBA::tk_ulonglong:
      written = WriteNumber<CORBA::ULongLong>(out, value);
      break;
    case CORBA::tk_float:
      written = WriteNumber<CORBA::Float>(out, value);
      break;
    case CORBA::tk_double:
      written = WriteNumber<CORBA::Double>(out, value);
      break;
    default:
      written = WriteOther(out, value);
      break;
  }
  if (!written) {
    out << "<kind " << static_cast<int>(type->kind()) << '>';
  }
}

void WireFormat::DescribeEvent(std::ostream& out, const CosNotification::StructuredEvent& event) {
  const CosNotification::EventType& type = event.header.fixed_header.event_type;
  out << " name=";
  WriteQuoted(out, event.header.fixed_header.event_name.in());
  out << " type=" << type.domain_name.in() << '/' << type.type_name.in();
  for (CORBA::ULong i = 0; i < event.filterable_data.length(); ++i) {
    out << ' ' << event.filterable_data[i].name.in() << '=';
    DescribeAny(out, event.filterable_data[i].value);
  }
  CORBA::TypeCode_var bodyType = event.remainder_of_body.type();
  if (bodyType->kind() != CORBA::tk_null) {
    out << " body=";
    DescribeAny(out, event.remainder_of_body);
  }
}

std::string WireFormat::Describe(const char* label, const CosNotification::StructuredEvent& event) {
  std::ostringstream text;
  text << label;
  DescribeEvent(text, event);
  return text.str();
}

}  // namespace Corvane::Herald
