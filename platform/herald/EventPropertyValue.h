#pragma once

#include <string>

#include <omniORB4/CORBA.h>

namespace Corvane::TalisFramework {
class IObjectBroker;
}

namespace Corvane::Herald {

// One typed value of an event field, stored as a CORBA Any of the storage type.
// A new value is an empty string. Copyable; not synchronised.
class EventPropertyValue {
 public:
  enum class StorageType {
    Bool,
    Char,
    Octet,
    Short,
    UShort,
    Long,
    ULong,
    LongLong,
    ULongLong,
    Float,
    Double,
    String
  };

  explicit EventPropertyValue(TalisFramework::IObjectBroker& brokerIn);

  // Maps a storage word (bool, char, octet, short, ushort, long, ulong, longlong,
  // ulonglong, float, double, string; any case) to `type`; false (and `type`
  // unchanged) for any other word.
  static bool FromString(const std::string& word, StorageType& type);
  // The storage word of `type`, in lower case.
  static const char* ToString(StorageType type);

  // Converts the whole of `text` to `type`. bool takes 1, 0, true or false (any case);
  // char exactly one character; integers a decimal number in the type's range (unsigned
  // types refuse a minus sign); float and double a decimal number in range; string any
  // text. Throws std::invalid_argument (value unchanged) when the text does not convert.
  void SetAsString(StorageType type, const std::string& text);
  void SetString(const std::string& text);
  // Takes a value received on the channel. Throws std::invalid_argument when the Any
  // holds none of the storage types.
  void SetFromAny(const CORBA::Any& any);

  // Replaces `out` with the stored value.
  void CopyOut(CORBA::Any& out) const;
  StorageType GetStorageType() const { return type; }
  // The value as text (bool as true/false, floating point in its shortest exact form).
  std::string ToText() const;

 private:
  TalisFramework::IObjectBroker* broker;
  StorageType type = StorageType::String;
  CORBA::Any value;
};

}  // namespace Corvane::Herald
