#include <climits>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/herald/DataSetEvent.h"
#include "platform/herald/EventClassFactory.h"
#include "platform/herald/GPSSampleEvent.h"
#include "platform/herald/GenericEvent.h"
#include "platform/herald/SendCommandCompleteEvent.h"
#include "platform/herald/TelemetryEventBase.h"
#include "platform/herald/TelemetrySettingsChangedEvent.h"
#include "platform/herald/WireFormat.h"
#include "platform/herald/tests/TestOrb.h"
#include "platform/talis/ByteArray.h"

namespace Corvane::Herald {
namespace {

using TalisFramework::ByteArray;

class EventsWireTest : public ::testing::Test {
 protected:
  // Encodes `event` and decodes it into a T made by its factory, as a receiver does.
  template <class T>
  boost::shared_ptr<T> RoundTrip(const IEventBase& event) {
    event.Encode(wire);
    TEventClassFactory<T> factory;
    boost::shared_ptr<IEventBase> received = factory.CreateCustomEvent(wire, broker);
    received->Decode(wire);
    return boost::dynamic_pointer_cast<T>(received);
  }

  // The filterable data as "Name=value ..." (names and rendered values in wire order).
  std::string Fields() const {
    std::ostringstream text;
    for (CORBA::ULong i = 0; i < wire.filterable_data.length(); ++i) {
      text << (i == 0 ? "" : " ") << wire.filterable_data[i].name.in() << '=';
      WireFormat::DescribeAny(text, wire.filterable_data[i].value);
    }
    return text.str();
  }

  CORBA::TCKind FieldKind(const char* name) const {
    const CORBA::Any* value = WireFormat::Find(wire, name);
    if (value == nullptr) {
      return CORBA::tk_void;
    }
    CORBA::TypeCode_var type = value->type();
    return type->kind();
  }

  CORBA::TCKind BodyKind() const {
    CORBA::TypeCode_var type = wire.remainder_of_body.type();
    return type->kind();
  }

  TalisFramework::IObjectBroker& broker = TestOrb::Get().Broker();
  CosNotification::StructuredEvent wire;
};

TEST_F(EventsWireTest, GPSSample) {
  GPSSampleEvent sent(EventSettings("gps", "GPSSample", "Navigation"), broker);
  sent.SetSample(1700000000, true, 47.5, -122.25);
  auto got = RoundTrip<GPSSampleEvent>(sent);
  EXPECT_EQ("Navigation", std::string(wire.header.fixed_header.event_type.domain_name.in()));
  EXPECT_EQ("GPSSample", std::string(wire.header.fixed_header.event_type.type_name.in()));
  EXPECT_EQ("DateTimeUTC=1700000000 ValidFix=true Latitude=47.5 Longitude=-122.25", Fields());
  EXPECT_EQ(CORBA::tk_long, FieldKind("DateTimeUTC"));
  EXPECT_EQ(CORBA::tk_null, BodyKind());
  EXPECT_EQ("gps", got->GetName());
  EXPECT_EQ(EventType("GPSSample", "Navigation"), got->GetType());
  EXPECT_EQ(1700000000, got->GetDateTimeUTC());
  EXPECT_TRUE(got->HasGPS());
  EXPECT_EQ(47.5, got->GetLatitude());
  EXPECT_EQ(-122.25, got->GetLongitude());
  std::ostringstream description;
  got->Describe(description);
  EXPECT_EQ(
      "GPSSampleEvent name='gps' type=Navigation/GPSSample DateTimeUTC=1700000000 "
      "ValidFix=true Latitude=47.5 Longitude=-122.25",
      description.str());
}

TEST_F(EventsWireTest, DataSetWithLiteralAndWithFileContent) {
  DataSetEvent sent(EventSettings("nfa", "DataSet", "Payload"), broker);
  sent.SetGeneratorAddress(0x0102);
  sent.SetGenerationLocation(1.25, -2.5);
  sent.SetDataSetName("desc");
  sent.SetContent(ByteArray(std::string("ab\0'c", 5)));
  auto literal = RoundTrip<DataSetEvent>(sent);
  EXPECT_EQ("GeneratorAddress=258 Latitude=1.25 Longitude=-2.5 DataSetName='desc'", Fields());
  EXPECT_EQ(CORBA::tk_ushort, FieldKind("GeneratorAddress"));
  EXPECT_EQ(CORBA::tk_alias, BodyKind());  // CORBA::OctetSeq
  EXPECT_FALSE(literal->IsFileContent());
  EXPECT_EQ(std::string("ab\0'c", 5),
            std::string(literal->GetContent().begin(), literal->GetContent().end()));
  EXPECT_EQ(258, literal->GetGeneratorAddress());
  EXPECT_EQ(1.25, literal->GetLatitude());
  EXPECT_EQ(-2.5, literal->GetLongitude());
  EXPECT_EQ("desc", literal->GetDataSetName());

  sent.SetContent("/tmp/f", true);
  auto file = RoundTrip<DataSetEvent>(sent);
  EXPECT_EQ(
      "GeneratorAddress=258 Latitude=1.25 Longitude=-2.5 DataSetName='desc' "
      "ContentFile='/tmp/f' ContentFileOwner=true",
      Fields());
  const CORBA::OctetSeq* body = nullptr;
  ASSERT_TRUE(wire.remainder_of_body >>= body);
  EXPECT_EQ(0u, body->length());
  EXPECT_TRUE(file->IsFileContent());
  EXPECT_EQ("/tmp/f", file->GetContentFile());
  EXPECT_TRUE(file->GetContentFileOwner());
  EXPECT_TRUE(file->GetContent().empty());
}

TEST_F(EventsWireTest, TelemetryFieldsKeepTheirOrderNamesAndTypes) {
  TelemetryEventBase sent(EventSettings("telem", "Telemetry", "Payload"), broker);
  sent.SetGeneratorAddress(7);
  sent.SetGenerationLocation(10, 20);
  EventPropertyValue temperature(broker);
  temperature.SetAsString(EventPropertyValue::StorageType::Float, "21.5");
  EventPropertyValue flag(broker);
  flag.SetAsString(EventPropertyValue::StorageType::Bool, "1");
  EventPropertyValue latitudeField(broker);
  latitudeField.SetString("not the position");
  sent.AddField("temp", temperature);
  sent.AddField("ok", flag);
  sent.AddField("Latitude", latitudeField);
  auto got = RoundTrip<TelemetryEventBase>(sent);
  EXPECT_EQ(
      "GeneratorAddress=7 Latitude=10 Longitude=20 temp=21.5 ok=true "
      "Latitude='not the position'",
      Fields());
  EXPECT_EQ(CORBA::tk_float, FieldKind("temp"));
  EXPECT_EQ(CORBA::tk_null, BodyKind());
  ASSERT_EQ(3u, got->GetFields().size());
  EXPECT_EQ("temp", got->GetFields()[0].first);
  EXPECT_EQ(EventPropertyValue::StorageType::Float, got->GetFields()[0].second.GetStorageType());
  EXPECT_EQ("true", got->GetFields()[1].second.ToText());
  EXPECT_EQ("not the position", got->GetFields()[2].second.ToText());
  EXPECT_EQ(10, got->GetLatitude());
  EXPECT_EQ(7, got->GetGeneratorAddress());
}

TEST_F(EventsWireTest, TelemetrySettingsChanged) {
  TelemetrySettingsChangedEvent fresh(broker);
  EXPECT_EQ(0, fresh.GetMaxSamples());
  EXPECT_EQ(0, fresh.GetMaxRetainTime());
  EXPECT_EQ(TelemetrySettingsChangedEvent::PendingMessageTreatment::Retain,
            fresh.GetPendingMessageTreatment());

  TelemetrySettingsChangedEvent sent(EventSettings("tsc", "TelemetryChanged", "Payload"), broker);
  sent.SetGeneratorAddress(513);
  sent.SetFormatCode(44);
  sent.SetMaxSamples(10);
  sent.SetMaxRetainTime(-3);
  TelemetrySettingsChangedEvent::PendingMessageTreatment treatment{};
  ASSERT_TRUE(TelemetrySettingsChangedEvent::FromString("flush", treatment));
  sent.SetPendingMessageTreatment(treatment);
  auto got = RoundTrip<TelemetrySettingsChangedEvent>(sent);
  EXPECT_EQ(
      "GeneratorAddress=513 FormatCode=44 MaxSamples=10 MaxRetainTime=-3 "
      "PendingMessageTreatment='FLUSH'",
      Fields());
  EXPECT_EQ(CORBA::tk_octet, FieldKind("FormatCode"));
  EXPECT_EQ(CORBA::tk_long, FieldKind("MaxRetainTime"));
  EXPECT_EQ(513, got->GetGeneratorAddress());
  EXPECT_EQ(44, got->GetFormatCode());
  EXPECT_EQ(10, got->GetMaxSamples());
  EXPECT_EQ(-3, got->GetMaxRetainTime());
  EXPECT_EQ(TelemetrySettingsChangedEvent::PendingMessageTreatment::Flush,
            got->GetPendingMessageTreatment());

  EXPECT_FALSE(TelemetrySettingsChangedEvent::FromString("KEEP", treatment));
#if LONG_MAX > 2147483647L
  // Only a 64-bit long can hold a time the 32-bit wire field cannot carry.
  EXPECT_THROW(sent.SetMaxRetainTime(1L << 40), std::out_of_range);
#endif
}

TEST_F(EventsWireTest, SendCommandCompleteCarriesTheResultAnyItself) {
  SendCommandCompleteEvent sent(EventSettings("done", "CommandComplete", "Payload"), broker);
  sent.Requester("client");
  sent.TransactionID("t-1");
  sent.Complete(true);
  CORBA::Any result;
  result <<= "Here is asynchronous result";
  sent.Result(result);
  auto got = RoundTrip<SendCommandCompleteEvent>(sent);
  EXPECT_EQ(
      "Requester='client' TransactionID='t-1' Complete=true "
      "Result='Here is asynchronous result'",
      Fields());
  EXPECT_EQ(CORBA::tk_string, FieldKind("Result"));  // not an Any inside an Any
  EXPECT_EQ("client", got->GetRequester());
  EXPECT_EQ("t-1", got->GetTransactionID());
  EXPECT_TRUE(got->IsComplete());
  const char* text = nullptr;
  ASSERT_TRUE(got->GetResult() >>= text);
  EXPECT_STREQ("Here is asynchronous result", text);
}

TEST_F(EventsWireTest, AFieldOfTheWrongTypeIsRefused) {
  GenericEvent odd("gps", EventType("GPSSample", "Navigation"));
  CORBA::Any text;
  text <<= "north";
  odd.AddField("Latitude", text);
  odd.Encode(wire);
  GPSSampleEvent gps(broker);
  EXPECT_THROW(gps.Decode(wire), std::runtime_error);
}

}  // namespace
}  // namespace Corvane::Herald
