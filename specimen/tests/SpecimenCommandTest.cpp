// The command language and asynchronous commands, through the real driver; published
// events are checked field by field as they arrive on the channel.
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "specimen/tests/DriverRig.h"
#include "testing/ScopedTempDir.h"

namespace {

using SpecimenCtl::ReceivedEvent;
using std::chrono::milliseconds;

const char kTimeResult[] = "^Time=[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]{2} [0-9:]{8} [0-9]{4}$";

std::vector<std::string> FieldNames(const ReceivedEvent& event) {
  std::vector<std::string> names;
  for (const auto& field : event.fields) {
    names.push_back(field.first);
  }
  return names;
}

class SpecimenCommandTest : public DriverRigTest {
 protected:
  // Nothing of the driver's may arrive on the channel for a short while.
  static void ExpectNoEvent() {
    ReceivedEvent event;
    EXPECT_FALSE(rig->AnyEvent(event, milliseconds(100))) << event.Describe();
  }
};

TEST_F(SpecimenCommandTest, WordsWithoutMeaningReturnTheTimeAndPublishNothing) {
  for (const char* text : {"HELLO 1 2", "\"\"", "  ' '  "}) {
    SCOPED_TRACE(text);
    EXPECT_TRUE(RegexSearch(rig->Send(text), kTimeResult));
  }
  ExpectNoEvent();
}

TEST_F(SpecimenCommandTest, RefusedCommandsRaiseBadParameterAndSayWhyInTheLog) {
  struct Case {
    const char* text;
    const char* requester;
    const char* log;  // expected in the driver's log after the call; null: nothing
    const char* parameter;
    const char* reason;
  };
  const Case cases[] = {
      {"", "", "tokens: -- nothing to execute!\n", "", ""},
      {" \t ", "", "0 tokens: -- nothing to execute!\n", "", ""},
      {"say \"unclosed", "",
       "ERROR: Specimen::SendCommand caught St16invalid_argument: Unexpected end of string while "
       "in quoted string\n",
       "", ""},
      {"ASYNCHRETURN 1 2 3", "r", "'3' -- too many parameters!\n", "", ""},
      {"asynchreturn abc", "r", "'abc' -- error converting seconds parameter!\n", "", ""},
      {"ASYNCHRETURN 1 2x", "r", "'2x' -- error converting times parameter!\n", "", ""},
      {"ASYNCHRETURN 0 1", "",
       "ERROR: Command 'ASYNCHRETURN 0 1' requires an asynchronous return, but the caller does "
       "not support asynchronous return\n",
       "", ""},
      {"NFALITERAL n t d desc", "",
       "ERROR: Not enough parameters supplied for event name, type, domain, description and "
       "literal content\n",
       "", ""},
      {"NFAFILE n t d desc /tmp/f", "",
       "ERROR: Not enough parameters supplied for event name, type, domain, description, "
       "filename and owner flag\n",
       "", ""},
      {"NFAFILE n t d desc /tmp/f yes", "", nullptr, "", ""},
      {"TELEM n t", "", "ERROR: Not enough parameters supplied for event name, type and domain\n",
       "", ""},
      {"TELEM n t d x,long,1 a,b", "", "ERROR: Not enough parameters in token 5 to indicate a value\n",
       "", ""},
      {"TELEM n t d a,b", "", "ERROR: Not enough parameters in token 4 to indicate a value\n", "",
       ""},
      {"TELEM n t d ,b,c", "", "ERROR: Field name and field type cannot be empty\n", "", ""},
      {"TELEM n t d a,,c", "", "ERROR: Field name and field type cannot be empty\n", "", ""},
      {"TELEM n t d a,decimal,1", "", "ERROR: Unknown field type 'decimal' in token 4\n", "", ""},
      {"TELEMCHANGE", "", "ERROR: Not enough parameters supplied for format code\n", "", ""},
      {"TELEMCHANGE x", "", "' while parsing telemetry settings changed command\n", "", ""},
      {"TELEMCHANGE 5 70000", "", "' while parsing telemetry settings changed command\n", "", ""},
      {"TELEMCHANGE 5 1 2.5", "", "' while parsing telemetry settings changed command\n", "", ""},
      {"TELEMCHANGE 5 1 2 SOMETIMES", "",
       "ERROR: Caught exception St16invalid_argument 'unknown pending message treatment "
       "'SOMETIMES'' while parsing telemetry settings changed command\n",
       "", ""},
      {"THROWBAD and more", "", "ERROR: Throwing BadParameter exception\n", "command",
       "Requested exception thrown"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::size_t mark = rig->LogMark();
    try {
      rig->Send(c.text, c.requester, *c.requester != '\0' ? "t" : "");
      ADD_FAILURE() << "not refused";
    } catch (const Corvane::Talis::BadParameter& e) {
      EXPECT_STREQ(c.parameter, e.parameter.in());
      EXPECT_STREQ(c.reason, e.reason.in());
    }
    const std::string infoLine =
        std::string("INFO: Specimen::SendCommand command='") + c.text + "' requester='";
    EXPECT_TRUE(rig->WaitForLogAfter(mark, infoLine)) << rig->LogSince(mark);
    if (c.log != nullptr) {
      EXPECT_TRUE(rig->WaitForLogAfter(mark, c.log)) << rig->LogSince(mark);
    }
    EXPECT_EQ(std::string::npos, rig->LogSince(mark).find("returning result"));
  }
  ExpectNoEvent();
}

TEST_F(SpecimenCommandTest, TelemPublishesTypedFieldsInOrder) {
  const std::size_t mark = rig->LogMark();
  const std::string result = rig->Send(
      "  Telem  Temps TelemType TelemDomain t,double,21.5 n,long,-3 f,bool,TRUE "
      "\"s,string,a b,c\" c,char,x o,octet,255 u,ulonglong,18446744073709551615 e,string,");
  EXPECT_TRUE(RegexSearch(result, kTimeResult)) << result;
  ReceivedEvent event;
  ASSERT_TRUE(rig->NextEvent("Temps", event));
  EXPECT_EQ("TelemType", event.typeName);
  EXPECT_EQ("TelemDomain", event.domainName);
  EXPECT_EQ((std::vector<std::string>{"GeneratorAddress", "Latitude", "Longitude", "t", "n", "f",
                                      "s", "c", "o", "u", "e"}),
            FieldNames(event));
  EXPECT_EQ(258u, UShortField(event, "GeneratorAddress"));
  EXPECT_EQ(21.5, DoubleField(event, "t"));
  CORBA::Long n = 0;
  EXPECT_TRUE(*event.Field("n") >>= n);
  EXPECT_EQ(-3, n);
  EXPECT_TRUE(BoolField(event, "f"));
  EXPECT_EQ("a b,c", StringField(event, "s"));
  CORBA::Char c = 0;
  EXPECT_TRUE(*event.Field("c") >>= CORBA::Any::to_char(c));
  EXPECT_EQ('x', c);
  CORBA::Octet o = 0;
  EXPECT_TRUE(*event.Field("o") >>= CORBA::Any::to_octet(o));
  EXPECT_EQ(255, o);
  CORBA::ULongLong u = 0;
  EXPECT_TRUE(*event.Field("u") >>= u);
  EXPECT_EQ(18446744073709551615ULL, u);
  EXPECT_EQ("", StringField(event, "e"));
  EXPECT_TRUE(rig->WaitForLogAfter(mark, " 1) 'Telem' 2) 'Temps'")) << rig->LogSince(mark);

  rig->Send("TELEM Bare BareType BareDomain");
  ASSERT_TRUE(rig->NextEvent("Bare", event));
  EXPECT_EQ((std::vector<std::string>{"GeneratorAddress", "Latitude", "Longitude"}),
            FieldNames(event));
}

TEST_F(SpecimenCommandTest, NfaLiteralCarriesTheExactBytes) {
  rig->Send("NFALITERAL Literal DSType DSDomain \"my data\" a\\x00b\\tc\\\\ extra");
  ReceivedEvent event;
  ASSERT_TRUE(rig->NextEvent("Literal", event));
  EXPECT_EQ((std::vector<std::string>{"GeneratorAddress", "Latitude", "Longitude", "DataSetName"}),
            FieldNames(event));
  EXPECT_EQ("my data", StringField(event, "DataSetName"));
  const CORBA::OctetSeq* octets = nullptr;
  ASSERT_TRUE(event.remainderOfBody >>= octets);
  const std::string expected("a\0b\tc\\", 6);
  ASSERT_EQ(expected.size(), octets->length());
  for (CORBA::ULong i = 0; i < octets->length(); ++i) {
    EXPECT_EQ(static_cast<unsigned char>(expected[i]), (*octets)[i]) << i;
  }
}

TEST_F(SpecimenCommandTest, NfaFileNamesTheFileAndLeavesItAlone) {
  Corvane::Testing::ScopedTempDir dir;
  const std::string path = dir.File("data set.bin");
  std::ofstream(path) << "content";
  struct Case {
    const char* flag;
    bool owner;
  };
  for (const Case& c : {Case{"0", false}, Case{"2", true}, Case{"-1", true}}) {
    SCOPED_TRACE(c.flag);
    rig->Send(std::string("nfafile FileSet FType FDomain desc '") + path + "' " + c.flag);
    ReceivedEvent event;
    ASSERT_TRUE(rig->NextEvent("FileSet", event));
    EXPECT_EQ(path, StringField(event, "ContentFile"));
    EXPECT_EQ(c.owner, BoolField(event, "ContentFileOwner"));
    EXPECT_EQ("desc", StringField(event, "DataSetName"));
    const CORBA::OctetSeq* octets = nullptr;
    ASSERT_TRUE(event.remainderOfBody >>= octets);
    EXPECT_EQ(0u, octets->length());
  }
  std::ifstream in(path);
  std::stringstream content;
  content << in.rdbuf();
  EXPECT_EQ("content", content.str());
}

TEST_F(SpecimenCommandTest, TelemChangeSetsWhatItIsGivenAndDefaultsTheRest) {
  struct Case {
    const char* text;
    unsigned formatCode;
    unsigned maxSamples;
    long maxRetainTime;
    const char* treatment;
  };
  const Case cases[] = {
      {"TELEMCHANGE 300", 44, 0, 0, "RETAIN"},
      {"TELEMCHANGE 5 10", 5, 10, 0, "RETAIN"},
      {"telemchange 65535 65535 -20 flush", 255, 65535, -20, "FLUSH"},
      {"TELEMCHANGE 1 2 2147483647 Discard extra", 1, 2, 2147483647, "DISCARD"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    rig->Send(c.text);
    ReceivedEvent event;
    ASSERT_TRUE(rig->NextEvent(RigNames::kTelemChangedEvent, event));
    EXPECT_EQ(RigNames::kTelemChangedType, event.typeName);
    EXPECT_EQ(RigNames::kDomain, event.domainName);
    EXPECT_EQ((std::vector<std::string>{"GeneratorAddress", "FormatCode", "MaxSamples",
                                        "MaxRetainTime", "PendingMessageTreatment"}),
              FieldNames(event));
    EXPECT_EQ(258u, UShortField(event, "GeneratorAddress"));
    CORBA::Octet code = 0;
    EXPECT_TRUE(*event.Field("FormatCode") >>= CORBA::Any::to_octet(code));
    EXPECT_EQ(c.formatCode, code);
    EXPECT_EQ(c.maxSamples, UShortField(event, "MaxSamples"));
    CORBA::Long retain = 0;
    EXPECT_TRUE(*event.Field("MaxRetainTime") >>= retain);
    EXPECT_EQ(c.maxRetainTime, retain);
    EXPECT_EQ(c.treatment, StringField(event, "PendingMessageTreatment"));
  }
}

// The command-complete events of one request, in arrival order, up to the final one.
std::vector<ReceivedEvent> CompletionEvents(DriverRig& rig, const std::string& requester,
                                            const std::string& transactionID) {
  std::vector<ReceivedEvent> events;
  ReceivedEvent event;
  while (events.empty() || !BoolField(events.back(), "Complete")) {
    if (!rig.NextEvent(RigNames::kCompleteEvent, event)) {
      ADD_FAILURE() << "no final event for " << requester << "/" << transactionID;
      break;
    }
    if (StringField(event, "Requester") == requester &&
        StringField(event, "TransactionID") == transactionID) {
      events.push_back(event);
    }
  }
  return events;
}

void ExpectCompletions(const std::vector<ReceivedEvent>& events, int intermediate) {
  ASSERT_EQ(static_cast<std::size_t>(intermediate + 1), events.size());
  for (int n = 1; n <= intermediate; ++n) {
    EXPECT_FALSE(BoolField(events[n - 1], "Complete"));
    EXPECT_EQ("extra result line #" + std::to_string(n) + "\n", ResultText(events[n - 1]));
  }
  EXPECT_TRUE(BoolField(events.back(), "Complete"));
  EXPECT_EQ("Here is asynchronous result", ResultText(events.back()));
  EXPECT_EQ(RigNames::kCompleteType, events.back().typeName);
  EXPECT_EQ(RigNames::kDomain, events.back().domainName);
  EXPECT_EQ((std::vector<std::string>{"Requester", "TransactionID", "Complete", "Result"}),
            FieldNames(events.back()));
}

TEST_F(SpecimenCommandTest, AsynchReturnAnswersLaterThroughCommandCompleteEvents) {
  struct Case {
    const char* text;
    const char* transactionID;
    int intermediate;
    const char* log;
  };
  const Case cases[] = {
      {"ASYNCHRETURN", "a0", 0,
       "Executing SendCommand_Asynch requester='tester' transID='a0' timeout=0 times=0: "
       "producing event "},
      {"ASYNCHRETURN 0 3", "a3", 3, "transID='a3' timeout=0 times=3: producing event "},
      {"ASYNCHRETURN -5 -2", "neg", 0, "transID='neg' timeout=0 times=-2: producing event "},
      {"ASYNCHRETURN 0.25 2", "wait", 2, "transID='wait' timeout=0.25 times=2\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::size_t mark = rig->LogMark();
    EXPECT_THROW(rig->Send(c.text, "tester", c.transactionID),
                 Corvane::Talis::WillCompleteAsynchronously);
    ExpectCompletions(CompletionEvents(*rig, "tester", c.transactionID), c.intermediate);
    EXPECT_TRUE(rig->WaitForLogAfter(mark, c.log)) << rig->LogSince(mark);
    EXPECT_TRUE(rig->WaitForLogAfter(mark, " (launching asynchronous return and throwing exception)\n"));
  }
  ExpectNoEvent();
}

TEST_F(SpecimenCommandTest, ConcurrentWorkersKeepTheirOwnRequesterAndTransaction) {
  EXPECT_THROW(rig->Send("ASYNCHRETURN 0.2 2", "first", "one"),
               Corvane::Talis::WillCompleteAsynchronously);
  EXPECT_THROW(rig->Send("ASYNCHRETURN 0.2 2", "second", "two"),
               Corvane::Talis::WillCompleteAsynchronously);
  std::map<std::string, std::vector<ReceivedEvent>> byRequest;
  ReceivedEvent event;
  int finals = 0;
  while (finals < 2 && rig->NextEvent(RigNames::kCompleteEvent, event)) {
    const std::string key = StringField(event, "Requester") + "/" + StringField(event, "TransactionID");
    finals += BoolField(event, "Complete") ? 1 : 0;
    byRequest[key].push_back(event);
  }
  ASSERT_EQ((std::set<std::string>{"first/one", "second/two"}),
            (std::set<std::string>{byRequest.begin()->first, byRequest.rbegin()->first}));
  EXPECT_EQ(2u, byRequest.size());
  ExpectCompletions(byRequest["first/one"], 2);
  ExpectCompletions(byRequest["second/two"], 2);
}

TEST_F(SpecimenCommandTest, ClientToolWaitsForTheCompletionOfItsRequest) {
  int status = -1;
  const std::string output =
      rig->RunCtl({"send", rig->Corbaloc(), "ASYNCHRETURN 0 2", "-c", RigNames::kChannel, "-r",
                   "ctl", "-t", "x1"},
                  &status);
  EXPECT_EQ(0, status);
  EXPECT_TRUE(RegexSearch(
      output, ("^exception: WillCompleteAsynchronously\n"
                         "event CommandComplete .*Complete=false Result='extra result line #1\\\\n'\n"
                         "event CommandComplete .*Complete=false Result='extra result line #2\\\\n'\n"
                         "event CommandComplete .*Complete=true Result='Here is asynchronous result'\n"
                         "complete\n$")))
      << output;
  ExpectCompletions(CompletionEvents(*rig, "ctl", "x1"), 2);
}

}  // namespace
