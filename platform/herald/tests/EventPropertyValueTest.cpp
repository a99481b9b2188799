#include "platform/herald/EventPropertyValue.h"

#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "platform/herald/WireFormat.h"
#include "platform/herald/tests/TestOrb.h"

namespace Corvane::Herald {
namespace {

using Type = EventPropertyValue::StorageType;

std::string Render(const EventPropertyValue& value) {
  CORBA::Any any;
  value.CopyOut(any);
  std::ostringstream text;
  WireFormat::DescribeAny(text, any);
  return text.str();
}

TEST(EventPropertyValueTest, StorageWordsInAnyCase) {
  struct Case {
    const char* word;
    bool known;
    Type type;
  };
  const Case cases[] = {
      {"bool", true, Type::Bool},           {"CHAR", true, Type::Char},
      {"Octet", true, Type::Octet},         {"short", true, Type::Short},
      {"UShort", true, Type::UShort},       {"long", true, Type::Long},
      {"ulong", true, Type::ULong},         {"LongLong", true, Type::LongLong},
      {"ulonglong", true, Type::ULongLong}, {"float", true, Type::Float},
      {"DOUBLE", true, Type::Double},       {"string", true, Type::String},
      {"int", false, Type::String},         {"", false, Type::String},
      {"bool ", false, Type::String},       {"strin", false, Type::String},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.word);
    Type type = Type::String;
    EXPECT_EQ(c.known, EventPropertyValue::FromString(c.word, type));
    EXPECT_EQ(c.type, type);
  }
}

TEST(EventPropertyValueTest, ConvertsTheWholeTextWithinRange) {
  TalisFramework::IObjectBroker& broker = TestOrb::Get().Broker();
  struct Case {
    Type type;
    const char* text;
    const char* stored;  // null: refused
  };
  const Case cases[] = {
      {Type::Bool, "1", "true"},
      {Type::Bool, "FALSE", "false"},
      {Type::Bool, "True", "true"},
      {Type::Bool, "yes", nullptr},
      {Type::Bool, "2", nullptr},
      {Type::Char, "x", "'x'"},
      {Type::Char, "", nullptr},
      {Type::Char, "xy", nullptr},
      {Type::Octet, "255", "255"},
      {Type::Octet, "256", nullptr},
      {Type::Octet, "-1", nullptr},
      {Type::Short, "-32768", "-32768"},
      {Type::Short, "32768", nullptr},
      {Type::UShort, "65535", "65535"},
      {Type::UShort, "-0", nullptr},
      {Type::Long, "+12", "12"},
      {Type::Long, "2147483648", nullptr},
      {Type::ULong, "4294967295", "4294967295"},
      {Type::ULong, "-5", nullptr},
      {Type::LongLong, "-9223372036854775808", "-9223372036854775808"},
      {Type::ULongLong, "18446744073709551615", "18446744073709551615"},
      {Type::ULongLong, "18446744073709551616", nullptr},
      {Type::Float, "1.5", "1.5"},
      {Type::Float, "1e39", nullptr},
      {Type::Double, "-122.25", "-122.25"},
      {Type::Double, "1e400", nullptr},
      {Type::Long, " 5", nullptr},
      {Type::Long, "5 ", nullptr},
      {Type::Double, "", nullptr},
      {Type::Long, "5x", nullptr},
      {Type::String, "", "''"},
      {Type::String, "a,b c", "'a,b c'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(EventPropertyValue::ToString(c.type)) + " '" + c.text + "'");
    EventPropertyValue value(broker);
    value.SetAsString(Type::Long, "7");
    if (c.stored == nullptr) {
      EXPECT_THROW(value.SetAsString(c.type, c.text), std::invalid_argument);
      EXPECT_EQ("7", Render(value));  // unchanged
      EXPECT_EQ(Type::Long, value.GetStorageType());
    } else {
      value.SetAsString(c.type, c.text);
      EXPECT_EQ(c.stored, Render(value));
      EXPECT_EQ(c.type, value.GetStorageType());
    }
  }
}

TEST(EventPropertyValueTest, CopyOutGivesTheTypedValue) {
  TalisFramework::IObjectBroker& broker = TestOrb::Get().Broker();
  EventPropertyValue value(broker);
  value.SetAsString(Type::UShort, "513");
  CORBA::Any any;
  value.CopyOut(any);
  CORBA::UShort number = 0;
  ASSERT_TRUE(any >>= number);
  EXPECT_EQ(513, number);

  value.SetString("Here is asynchronous result");
  value.CopyOut(any);
  const char* text = nullptr;
  ASSERT_TRUE(any >>= text);
  EXPECT_STREQ("Here is asynchronous result", text);
}

}  // namespace
}  // namespace Corvane::Herald
