#pragma once

#include <ostream>
#include <string>

#include <COS/CosNotification.hh>
#include <omniORB4/CORBA.h>

namespace Corvane::Herald {

// Reading, writing and rendering the named values of a structured event's filterable
// data. The Read functions leave `out` unchanged and return false when the field is
// absent, and throw std::runtime_error naming the field when it holds another type.
class WireFormat {
 public:
  static void Add(CosNotification::StructuredEvent& event, const char* name,
                  const CORBA::Any& value);
  static void AddUShort(CosNotification::StructuredEvent& event, const char* name,
                        unsigned short value);
  static void AddDouble(CosNotification::StructuredEvent& event, const char* name, double value);
  static void AddString(CosNotification::StructuredEvent& event, const char* name,
                        const std::string& value);
  static void AddBoolean(CosNotification::StructuredEvent& event, const char* name, bool value);

  // The first value of that name, or null.
  static const CORBA::Any* Find(const CosNotification::StructuredEvent& event, const char* name);
  static bool ReadUShort(const CosNotification::StructuredEvent& event, const char* name,
                         unsigned short& out);
  static bool ReadOctet(const CosNotification::StructuredEvent& event, const char* name,
                        unsigned char& out);
  static bool ReadLong(const CosNotification::StructuredEvent& event, const char* name, long& out);
  static bool ReadDouble(const CosNotification::StructuredEvent& event, const char* name,
                         double& out);
  static bool ReadString(const CosNotification::StructuredEvent& event, const char* name,
                         std::string& out);
  static bool ReadBoolean(const CosNotification::StructuredEvent& event, const char* name,
                          bool& out);

  // Writes the value of an Any: numbers in decimal (floating point in the shortest form
  // that reads back exactly), booleans as true/false, texts and octet sequences quoted
  // with '\'' and '\\' escaped and other bytes as \xNN, an empty Any as "-".
  static void DescribeAny(std::ostream& out, const CORBA::Any& value);
  // Writes " name='N' type=domain/type" and " Field=value" for each filterable value,
  // then " body=" and the remainder of the body unless it is an empty Any.
  static void DescribeEvent(std::ostream& out, const CosNotification::StructuredEvent& event);
  // A description made of `label` and DescribeEvent.
  static std::string Describe(const char* label, const CosNotification::StructuredEvent& event);
};

}  // namespace Corvane::Herald
