// What the driver refuses over CORBA, and how: a real driver process (no naming service,
// no event channel: its events are only logged) on a loopback port, called through the
// ORB. Every refusal is BadParameter; the driver keeps serving after each one.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <omniORB4/CORBA.h>

#include "specimen/SpecimenSettings.h"
#include "specimen/idl/Talis.hh"
#include "testing/ChildProcess.h"
#include "testing/FreeTcpPort.h"
#include "testing/ScopedTempDir.h"

namespace {

using Corvane::Talis::ISpecimenWithEvents;
using Corvane::Testing::ChildProcess;
using Corvane::Testing::ScopedTempDir;

enum class Answer { TimeResult, BadParameter, Asynchronous };

const char* Name(Answer answer) {
  switch (answer) {
    case Answer::TimeResult:
      return "time result";
    case Answer::BadParameter:
      return "BadParameter";
    case Answer::Asynchronous:
      return "WillCompleteAsynchronously";
  }
  return "?";
}

class BadCommandTest : public ::testing::Test {
 protected:
  // Started from SetUp rather than SetUpTestSuite: a suite set-up failure makes the tests
  // count as skipped, not failed.
  void SetUp() override {
    if (driver == nullptr) {
      StartDriver();
    }
  }
  static void StartDriver() {
    int argc = 5;
    static char program[] = "badinput_test";
    static char endpointOption[] = "-ORBendPoint";
    static char endpoint[] = "giop:tcp:127.0.0.1:";
    static char timeoutOption[] = "-ORBclientCallTimeOutPeriod";
    static char timeout[] = "30000";
    static char* args[] = {program, endpointOption, endpoint, timeoutOption, timeout, nullptr};
    char** argv = args;
    orb = CORBA::ORB_init(argc, argv);
    workDir = new ScopedTempDir("badinput");
    SpecimenSettings settings;
    settings.SetServerName("Specimen");
    settings.Save(workDir->File("Specimen-config.xml"));
    const std::string port = std::to_string(Corvane::Testing::FreeTcpPort());
    ChildProcess::Options options;
    options.workDir = workDir->Path();
    driver = new ChildProcess({SPECIMEN_BINARY, "-ORBendPoint", "giop:tcp:127.0.0.1:" + port},
                              options);
    ASSERT_TRUE(driver->WaitForOutput("advertised 'Specimen'", 30000)) << driver->Output();
    const std::string corbaloc = "corbaloc::127.0.0.1:" + port + "/Specimen";
    CORBA::Object_var object = orb->string_to_object(corbaloc.c_str());
    reference = ISpecimenWithEvents::_narrow(object.in());
  }
  static void TearDownTestSuite() {
    reference = ISpecimenWithEvents::_nil();
    delete driver;
    delete workDir;
    orb->destroy();
  }

  static Answer Send(const CORBA::Any& command, const char* requester = "r",
                     const char* transactionID = "t") {
    CORBA::Any_var result;
    try {
      reference->SendCommand(command, requester, transactionID, result.out());
    } catch (const Corvane::Talis::BadParameter&) {
      return Answer::BadParameter;
    } catch (const Corvane::Talis::WillCompleteAsynchronously&) {
      return Answer::Asynchronous;
    }
    const char* text = nullptr;
    EXPECT_TRUE(result.in() >>= text);
    EXPECT_EQ(0, std::string(text != nullptr ? text : "").compare(0, 5, "Time="));
    return Answer::TimeResult;
  }
  static Answer SendText(const std::string& text, const char* requester = "r",
                         const char* transactionID = "t") {
    CORBA::Any command;
    command <<= text.c_str();
    return Send(command, requester, transactionID);
  }

  static CORBA::ORB_var orb;
  static ScopedTempDir* workDir;
  static ChildProcess* driver;
  static Corvane::Talis::ISpecimenWithEvents_var reference;
};

CORBA::ORB_var BadCommandTest::orb;
ScopedTempDir* BadCommandTest::workDir = nullptr;
ChildProcess* BadCommandTest::driver = nullptr;
Corvane::Talis::ISpecimenWithEvents_var BadCommandTest::reference;

TEST_F(BadCommandTest, CommandsThatAreNoStringAreRefused) {
  CORBA::Any empty;
  CORBA::Any number;
  number <<= static_cast<CORBA::Long>(7);
  CORBA::Any real;
  real <<= 1.5;
  CORBA::Any nested;
  CORBA::Any inner;
  inner <<= "HELLO";
  nested <<= inner;
  for (const CORBA::Any* command : {&empty, &number, &real, &nested}) {
    EXPECT_EQ(Answer::BadParameter, Send(*command));
  }
}

TEST_F(BadCommandTest, CommandTextsAreRefusedOrAnsweredAsTheLanguageSays) {
  struct Case {
    std::string text;
    const char* requester;
    Answer answer;
  };
  const std::string mebibyte(1 << 20, 'x');
  const Case cases[] = {
      {"", "r", Answer::BadParameter},
      {" \t\r\n ", "r", Answer::BadParameter},
      {"say \"unclosed", "r", Answer::BadParameter},
      {"say 'unclosed", "r", Answer::BadParameter},
      {"THROWBAD", "r", Answer::BadParameter},
      {"ASYNCHRETURN", "", Answer::BadParameter},
      {"ASYNCHRETURN 1 2 3", "r", Answer::BadParameter},
      {"ASYNCHRETURN abc", "r", Answer::BadParameter},
      {"ASYNCHRETURN 0 2x", "r", Answer::BadParameter},
      {"ASYNCHRETURN -5 1", "r", Answer::Asynchronous},
      {"NFALITERAL n t d desc", "r", Answer::BadParameter},
      {"NFAFILE n t d desc /tmp/f", "r", Answer::BadParameter},
      {"NFAFILE n t d desc /tmp/f yes", "r", Answer::BadParameter},
      {"TELEM n t", "r", Answer::BadParameter},
      {"TELEM n t d a,b", "r", Answer::BadParameter},
      {"TELEM n t d ,long,1", "r", Answer::BadParameter},
      {"TELEM n t d a,nosuchtype,1", "r", Answer::BadParameter},
      {"TELEM n t d a,long,12x", "r", Answer::BadParameter},
      {"TELEM n t d a,octet,256", "r", Answer::BadParameter},
      {"TELEM n t d a,ulong,-1", "r", Answer::BadParameter},
      {"TELEMCHANGE", "r", Answer::BadParameter},
      {"TELEMCHANGE x", "r", Answer::BadParameter},
      {"TELEMCHANGE 65536", "r", Answer::BadParameter},
      {"TELEMCHANGE 1" + std::string(40, '9'), "r", Answer::BadParameter},
      {"TELEMCHANGE 5 10 60 sometimes", "r", Answer::BadParameter},
      // Accepted, though odd: the language answers them with the time.
      {"HELLO 1 2", "r", Answer::TimeResult},
      {"\"\"", "r", Answer::TimeResult},
      {"TELEM n t d text,string," + mebibyte, "r", Answer::TimeResult},
      {mebibyte, "r", Answer::TimeResult},
      {"NFALITERAL n t d desc \xff\xfe\xc3\x28\xed\xa0\x80", "r", Answer::TimeResult},
      {"TELEM \xc0\xaf t d a,string,\xf8\x88\x80\x80\x80", "r", Answer::TimeResult},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 60));
    const Answer answer = SendText(c.text, c.requester);
    EXPECT_EQ(c.answer, answer) << Name(answer);
  }
  // Still serving after all of them.
  EXPECT_GT(reference->Ping(), 0.0);
}

}  // namespace
