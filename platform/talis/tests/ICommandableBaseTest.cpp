#include "platform/talis/ICommandableBase.h"

#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>

#include <boost/archive/xml_iarchive.hpp>
#include <boost/archive/xml_oarchive.hpp>
#include <gtest/gtest.h>

#include "platform/talis/DecodeCORBAException.h"
#include "platform/talis/PayloadDescription.h"
#include "platform/talis/ThrowCORBAException2.h"

namespace Corvane::TalisFramework {
namespace {

using Corvane::Talis::BadParameter;
using Corvane::Talis::WillCompleteAsynchronously;

// A commandable whose SendCommand does what the test scripts.
class ScriptedCommandable : public ICommandableBase {
 public:
  explicit ScriptedCommandable(std::function<void(CORBA::Any_out)> script)
      : behaviour(std::move(script)) {}
  void SendCommand(const CORBA::Any&, const char*, const char*, CORBA::Any_out result) override {
    behaviour(result);
  }

 private:
  std::function<void(CORBA::Any_out)> behaviour;
};

void Answer(CORBA::Any_out result, const char* text) {
  result = new CORBA::Any;
  *result <<= text;
}

TEST(ICommandableBaseTest, SendCommandWorkaroundTurnsEachExceptionIntoItsRecord) {
  struct Case {
    const char* name;
    std::function<void(CORBA::Any_out)> script;
    bool badParameter;
    const char* parameter;
    const char* reason;
    bool willCompleteAsynchronously;
    const char* answer;  // null: the result is an empty Any
  };
  const Case cases[] = {
      {"answers", [](CORBA::Any_out r) { Answer(r, "Time=1"); }, false, "", "", false, "Time=1"},
      {"refuses", [](CORBA::Any_out) { ThrowCORBAException2<BadParameter>("speed", "too fast"); },
       true, "speed", "too fast", false, nullptr},
      {"refuses without texts", [](CORBA::Any_out) { ThrowCORBAException2<BadParameter>(); }, true,
       "", "", false, nullptr},
      {"answers later", [](CORBA::Any_out) { ThrowCORBAException2<WillCompleteAsynchronously>(); },
       false, "", "", true, nullptr},
      {"answers, then refuses",
       [](CORBA::Any_out r) {
         Answer(r, "partial");
         throw BadParameter("x", "y");
       },
       true, "x", "y", false, nullptr},
      {"leaves the result unset", [](CORBA::Any_out) {}, false, "", "", false, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedCommandable commandable(c.script);
    CORBA::Any command;
    command <<= "PING";
    CORBA::Any_var result;
    Corvane::Talis::SendCommandWorkaroundData_var data;
    commandable.SendCommandWorkaround(command, "client", "7", result.out(), data.out());
    EXPECT_EQ(c.badParameter, static_cast<bool>(data->badParameter));
    EXPECT_STREQ(c.parameter, data->parameter);
    EXPECT_STREQ(c.reason, data->reason);
    EXPECT_EQ(c.willCompleteAsynchronously, static_cast<bool>(data->willCompleteAsynchronously));
    CORBA::TypeCode_var type = result->type();
    if (c.answer == nullptr) {
      EXPECT_EQ(CORBA::tk_null, type->kind());
    } else {
      const char* text = nullptr;
      ASSERT_TRUE(result.in() >>= text);
      EXPECT_STREQ(c.answer, text);
    }
  }
}

TEST(ICommandableBaseTest, OtherExceptionsLeaveSendCommandWorkaround) {
  ScriptedCommandable system([](CORBA::Any_out) { throw CORBA::NO_RESOURCES(); });
  ScriptedCommandable standard([](CORBA::Any_out) { throw std::runtime_error("broken"); });
  CORBA::Any command;
  CORBA::Any_var result;
  Corvane::Talis::SendCommandWorkaroundData_var data;
  EXPECT_THROW(system.SendCommandWorkaround(command, "", "", result.out(), data.out()),
               CORBA::NO_RESOURCES);
  EXPECT_THROW(standard.SendCommandWorkaround(command, "", "", result.out(), data.out()),
               std::runtime_error);
}

TEST(DecodeCORBAExceptionTest, OneLinePerKindOfException) {
  struct Case {
    std::function<void()> raise;
    const char* text;
  };
  const Case cases[] = {
      {[] { throw CORBA::TRANSIENT(omni::TRANSIENT_ConnectFailed, CORBA::COMPLETED_NO); },
       "CORBA::TRANSIENT minor=TRANSIENT_ConnectFailed completed=COMPLETED_NO"},
      {[] { throw CORBA::BAD_PARAM(0x1234, CORBA::COMPLETED_MAYBE); },
       "CORBA::BAD_PARAM minor=0x00001234 completed=COMPLETED_MAYBE"},
      {[] { throw CORBA::NO_IMPLEMENT(0, CORBA::COMPLETED_YES); },
       "CORBA::NO_IMPLEMENT minor=0x00000000 completed=COMPLETED_YES"},
      {[] { ThrowCORBAException2<BadParameter>("speed", "too fast"); },
       "IDL:Corvane/Talis/BadParameter:1.0 parameter='speed' reason='too fast'"},
      {[] { ThrowCORBAException2<BadParameter>(); },
       "IDL:Corvane/Talis/BadParameter:1.0 parameter='' reason=''"},
      {[] { throw WillCompleteAsynchronously(); },
       "IDL:Corvane/Talis/WillCompleteAsynchronously:1.0"},
      {[] { throw CORBA::ORB::InvalidName(); }, "IDL:omg.org/CORBA/ORB/InvalidName:1.0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      c.raise();
      FAIL() << "nothing thrown";
    } catch (const CORBA::Exception& exception) {
      EXPECT_EQ(c.text, DecodeCORBAException(exception));
    }
  }
}

TEST(PayloadDescriptionTest, EntityIsACopyOfTheDescription) {
  PayloadDescription description;
  description.description = "CTD sensor";
  CORBA::String_var entity = description.GetEntity();
  EXPECT_STREQ("CTD sensor", entity.in());
  description.description.clear();
  EXPECT_STREQ("CTD sensor", entity.in());
}

TEST(PayloadDescriptionTest, IdsAreWrittenAsNumbersAndReadBackAsTheirLowEightBits) {
  PayloadDescription written;
  written.boardID = 255;
  written.taskID = 7;
  written.description = "a <b> & c";
  written.ior = "IOR:00";
  written.readableName = "Sensor";
  std::ostringstream text;
  {
    boost::archive::xml_oarchive archive(text);
    archive << boost::serialization::make_nvp("payloadDescription", written);
  }
  EXPECT_NE(std::string::npos, text.str().find("<boardID>255</boardID>"));
  EXPECT_NE(std::string::npos, text.str().find("<taskID>7</taskID>"));

  std::string document = text.str();
  document.replace(document.find("<boardID>255<"), 13, "<boardID>256<");
  std::istringstream input(document);
  PayloadDescription read;
  {
    boost::archive::xml_iarchive archive(input);
    archive >> boost::serialization::make_nvp("payloadDescription", read);
  }
  EXPECT_EQ(0, read.boardID);
  EXPECT_EQ(7, read.taskID);
  EXPECT_EQ(written.description, read.description);
  EXPECT_EQ(written.ior, read.ior);
  EXPECT_EQ(written.readableName, read.readableName);
}

}  // namespace
}  // namespace Corvane::TalisFramework
