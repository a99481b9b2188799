// The text command language of Specimen::SendCommand and its asynchronous commands.
#include <cmath>
#include <cstddef>
#include <ctime>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <utility>

#include <boost/lexical_cast.hpp>

#include "framework/CmdLineParser.h"
#include "platform/herald/DataSetEvent.h"
#include "platform/herald/EventPropertyValue.h"
#include "platform/herald/EventSettings.h"
#include "platform/herald/TelemetryEventBase.h"
#include "platform/herald/TelemetrySettingsChangedEvent.h"
#include "platform/talis/ByteArray.h"
#include "platform/talis/ThrowCORBAException2.h"
#include "specimen/CommandLanguage.h"
#include "specimen/Specimen.h"

using Corvane::Herald::DataSetEvent;
using Corvane::Herald::EventPropertyValue;
using Corvane::Herald::EventSettings;
using Corvane::Herald::SendCommandCompleteEvent;
using Corvane::Herald::TelemetryEventBase;
using Corvane::Herald::TelemetrySettingsChangedEvent;
using Corvane::Talis::BadParameter;
using Corvane::TalisFramework::ThrowCORBAException2;
using CommandLanguage::Keyword;

// Everything one SendCommand call builds; one reset releases it all. Private to the
// call's thread.
struct Specimen::SendCommandLocalData {
  explicit SendCommandLocalData(Corvane::TalisFramework::Logger& loggerIn) : logger(loggerIn) {}
  // A call that leaves by an exception nobody expected still ends its line.
  ~SendCommandLocalData() { EndInfoLine(); }

  // Writes the pending information line as one ended line (once).
  void EndInfoLine() {
    if (infoLineOpen) {
      infoLineOpen = false;
      logger.infoStream << infoLine.str() << std::endl;
    }
  }
  const std::string& Token(int index) const { return parser->GetToken(index); }
  int TokenCount() const { return parser->GetTokenCount(); }

  std::string command;
  std::shared_ptr<Corvane::TalisFramework::CmdLineParser> parser;
  std::string requester;
  std::string transactionID;
  std::shared_ptr<EventSettings> eventSettings;
  std::shared_ptr<DataSetEvent> dataSetEvent;
  std::shared_ptr<TelemetryEventBase> telemetryEvent;
  Corvane::TalisFramework::ByteArray content;
  std::string fieldName;
  std::string fieldType;
  std::string fieldValue;
  // The information line is assembled here and written whole when it ends, so that
  // lines the event library writes on this thread meanwhile do not land inside it.
  Corvane::TalisFramework::Logger& logger;
  std::ostringstream infoLine;
  bool infoLineOpen = false;
};

namespace {

// The whole token as an unsigned 16-bit number, accepting what
// boost::lexical_cast<unsigned short> accepts (an optional sign, then digits; a minus sign
// wraps modulo 65536). That cast multiplies its digits in int after promotion, which
// overflows on long tokens, so the digits are converted as an unsigned int here. Throws
// boost::bad_lexical_cast like the cast.
unsigned short ToUnsignedShort(const std::string& token) {
  const bool negative = !token.empty() && token[0] == '-';
  const std::size_t start = !token.empty() && (token[0] == '-' || token[0] == '+') ? 1 : 0;
  unsigned int magnitude = 0;
  if (start < token.size() && token[start] != '-' && token[start] != '+' &&
      boost::conversion::try_lexical_convert(token.substr(start), magnitude) &&
      magnitude <= 0xffffu) {
    return static_cast<unsigned short>(negative ? 0x10000u - magnitude : magnitude);
  }
  throw boost::bad_lexical_cast(typeid(std::string), typeid(unsigned short));
}

}  // namespace

void Specimen::Refuse(LocalDataPtr& local, const std::string& message) {
  local->EndInfoLine();
  logger.errorStream << message << std::endl;
  local.reset();
  ThrowCORBAException2<BadParameter>();
}

void Specimen::RefuseOnLine(LocalDataPtr& local, const char* note) {
  local->infoLine << note;
  local->EndInfoLine();
  local.reset();
  ThrowCORBAException2<BadParameter>();
}

void Specimen::SendCommand(const CORBA::Any& command, const char* requester,
                           const char* transactionID, CORBA::Any_out result) {
  LocalDataPtr local = std::make_shared<SendCommandLocalData>(logger);
  const char* text = nullptr;
  if (!(command >>= text) || text == nullptr) {
    logger.errorStream << "Incoming command type is not a string" << std::endl;
    local.reset();
    ThrowCORBAException2<BadParameter>();
  }
  const char* requesterText = requester != nullptr ? requester : "";
  const char* transactionText = transactionID != nullptr ? transactionID : "";
  local->command = text;
  local->infoLineOpen = true;
  local->infoLine << "Specimen::SendCommand command='" << local->command << "' requester='"
                  << requesterText << "' transactionID='" << transactionText << "'";
  try {
    local->parser = std::make_shared<Corvane::TalisFramework::CmdLineParser>(local->command);
  } catch (const std::exception& e) {
    Refuse(local, "Specimen::SendCommand caught " + CommandLanguage::RunTimeTypeName(typeid(e)) +
                      ": " + e.what());
  }
  local->infoLine << " " << local->TokenCount() << " tokens:";
  for (int i = 0; i < local->TokenCount(); ++i) {
    local->infoLine << " " << (i + 1) << ") '" << local->Token(i) << "'";
  }
  if (local->TokenCount() == 0) {
    RefuseOnLine(local, " -- nothing to execute!");
  }
  switch (CommandLanguage::MatchKeyword(local->Token(0))) {
    case Keyword::AsynchReturn:
      RunAsynchReturn(local, requesterText, transactionText);
      break;
    case Keyword::NfaLiteral:
      RunNfaLiteral(local);
      break;
    case Keyword::NfaFile:
      RunNfaFile(local);
      break;
    case Keyword::Telem:
      RunTelem(local);
      break;
    case Keyword::TelemChange:
      RunTelemChange(local);
      break;
    case Keyword::Shutdown:
      local->infoLine << " (queueing shutdown)";
      broker.RequestShutdown();
      break;
    case Keyword::ThrowBad:
      RunThrowBad(local);
      break;
    case Keyword::None:
      break;
  }
  const std::string timeResult = CommandLanguage::TimeResult(std::time(nullptr));
  local->infoLine << " returning result='" << timeResult << "'";
  local->EndInfoLine();
  CORBA::Any* answer = new CORBA::Any();
  result = answer;
  *answer <<= timeResult.c_str();
  local.reset();
}

void Specimen::RunAsynchReturn(LocalDataPtr& local, const char* requester,
                               const char* transactionID) {
  if (local->TokenCount() > 3) {
    RefuseOnLine(local, " -- too many parameters!");
  }
  if (*requester == '\0' || *transactionID == '\0') {
    Refuse(local, "Command '" + local->command + "'" +
                      " requires an asynchronous return, but the caller does not support "
                      "asynchronous return");
  }
  float seconds = 0;
  if (local->TokenCount() > 1 &&
      !CommandLanguage::ConvertWholeToken(local->Token(1), seconds)) {
    RefuseOnLine(local, " -- error converting seconds parameter!");
  }
  // "nan" converts too; like a negative wait it means no wait at all.
  if (!(seconds > 0)) {
    seconds = 0;
  }
  int times = 0;
  if (local->TokenCount() > 2 && !CommandLanguage::ConvertWholeToken(local->Token(2), times)) {
    RefuseOnLine(local, " -- error converting times parameter!");
  }
  local->infoLine << " (launching asynchronous return and throwing exception)";
  local->EndInfoLine();
  local->requester = requester;
  local->transactionID = transactionID;
  Corvane::TalisFramework::Logger& log = logger;
  workers.Start(std::bind(&Specimen::SendCommand_Asynch, this, local->requester,
                          local->transactionID, seconds, times),
                [&log](const std::exception& e) {
                  log.errorStream << "Specimen::SendCommand_Asynch caught "
                                  << CommandLanguage::RunTimeTypeName(typeid(e)) << ": "
                                  << e.what() << std::endl;
                });
  local.reset();
  throw Corvane::Talis::WillCompleteAsynchronously();
}

void Specimen::StampEvent(LocalDataPtr& local, Corvane::Herald::LocatedEventBase& event) {
  boost::shared_ptr<Corvane::Herald::PayloadManagerClient> client;
  double latitudeNow = 0;
  double longitudeNow = 0;
  {
    std::lock_guard<std::mutex> guard(stateMutex);
    client = payloadManagerClient;
    latitudeNow = latitude;
    longitudeNow = longitude;
  }
  // No event leaves without a generator address, and only Initialize provides it.
  if (!client) {
    Refuse(local, "Specimen::SendCommand: not initialized, no generator address");
  }
  event.SetGeneratorAddress(client->GetAddress());
  event.SetGenerationLocation(latitudeNow, longitudeNow);
}

void Specimen::RunNfaLiteral(LocalDataPtr& local) {
  if (local->TokenCount() < 6) {
    Refuse(local,
           "Not enough parameters supplied for event name, type, domain, description and "
           "literal content");
  }
  local->eventSettings =
      std::make_shared<EventSettings>(local->Token(1), local->Token(2), local->Token(3));
  local->dataSetEvent = std::make_shared<DataSetEvent>(*local->eventSettings, broker);
  StampEvent(local, *local->dataSetEvent);
  local->dataSetEvent->SetDataSetName(local->Token(4));
  const std::string& literal = local->Token(5);
  local->content.append(reinterpret_cast<const unsigned char*>(literal.data()), literal.size());
  local->dataSetEvent->SetContent(local->content);
  TransmitEvent(*local->dataSetEvent);
}

void Specimen::RunNfaFile(LocalDataPtr& local) {
  if (local->TokenCount() < 7) {
    Refuse(local,
           "Not enough parameters supplied for event name, type, domain, description, "
           "filename and owner flag");
  }
  local->eventSettings =
      std::make_shared<EventSettings>(local->Token(1), local->Token(2), local->Token(3));
  local->dataSetEvent = std::make_shared<DataSetEvent>(*local->eventSettings, broker);
  StampEvent(local, *local->dataSetEvent);
  local->dataSetEvent->SetDataSetName(local->Token(4));
  int owner = 0;
  if (!CommandLanguage::ConvertWholeToken(local->Token(6), owner)) {
    local->EndInfoLine();
    local.reset();
    ThrowCORBAException2<BadParameter>();
  }
  local->dataSetEvent->SetContent(local->Token(5), owner != 0);
  TransmitEvent(*local->dataSetEvent);
}

void Specimen::RunTelem(LocalDataPtr& local) {
  if (local->TokenCount() < 4) {
    Refuse(local, "Not enough parameters supplied for event name, type and domain");
  }
  local->eventSettings =
      std::make_shared<EventSettings>(local->Token(1), local->Token(2), local->Token(3));
  local->telemetryEvent = std::make_shared<TelemetryEventBase>(*local->eventSettings, broker);
  StampEvent(local, *local->telemetryEvent);
  for (int index = 4; index < local->TokenCount(); ++index) {
    CommandLanguage::TelemField field;
    const CommandLanguage::FieldSplit split =
        CommandLanguage::SplitTelemField(local->Token(index), field);
    if (split == CommandLanguage::FieldSplit::MissingComma) {
      Refuse(local, "Not enough parameters in token " + std::to_string(index) +
                        " to indicate a value");
    }
    local->fieldName = field.name;
    local->fieldType = field.type;
    local->fieldValue = field.value;
    if (split == CommandLanguage::FieldSplit::EmptyNameOrType) {
      Refuse(local, "Field name and field type cannot be empty");
    }
    EventPropertyValue value(broker);
    EventPropertyValue::StorageType storage = EventPropertyValue::StorageType::String;
    if (!EventPropertyValue::FromString(local->fieldType, storage)) {
      Refuse(local, "Unknown field type '" + local->fieldType + "' in token " +
                        std::to_string(index));
    }
    // A value that does not convert is the caller's mistake: refuse it like the other
    // malformed fields instead of letting the library's exception reach the ORB.
    try {
      value.SetAsString(storage, local->fieldValue);
    } catch (const std::exception& e) {
      Refuse(local, "Field '" + local->fieldName + "' in token " + std::to_string(index) +
                        ": " + e.what());
    }
    local->telemetryEvent->AddField(local->fieldName, value);
  }
  TransmitEvent(*local->telemetryEvent);
}

void Specimen::RunTelemChange(LocalDataPtr& local) {
  if (local->TokenCount() < 2) {
    Refuse(local, "Not enough parameters supplied for format code");
  }
  boost::shared_ptr<Corvane::Herald::PayloadManagerClient> client;
  {
    std::lock_guard<std::mutex> guard(stateMutex);
    client = payloadManagerClient;
  }
  if (!client) {
    Refuse(local, "Specimen::SendCommand: not initialized, no generator address");
  }
  const EventSettings eventSettings = settings.GetTelemetryChangedEventSettings();
  TelemetrySettingsChangedEvent event(eventSettings, broker);
  try {
    const unsigned short formatCode = ToUnsignedShort(local->Token(1));
    event.SetGeneratorAddress(client->GetAddress());
    event.SetFormatCode(static_cast<unsigned char>(formatCode & 0xff));
    if (local->TokenCount() > 2) {
      event.SetMaxSamples(ToUnsignedShort(local->Token(2)));
    }
    if (local->TokenCount() > 3) {
      event.SetMaxRetainTime(boost::lexical_cast<std::int32_t>(local->Token(3)));
    }
    if (local->TokenCount() > 4) {
      TelemetrySettingsChangedEvent::PendingMessageTreatment treatment =
          TelemetrySettingsChangedEvent::PendingMessageTreatment::Retain;
      if (!TelemetrySettingsChangedEvent::FromString(local->Token(4), treatment)) {
        throw std::invalid_argument("unknown pending message treatment '" + local->Token(4) +
                                    "'");
      }
      event.SetPendingMessageTreatment(treatment);
    }
  } catch (const std::exception& e) {
    Refuse(local, "Caught exception " + CommandLanguage::RunTimeTypeName(typeid(e)) + " '" +
                      e.what() + "' while parsing telemetry settings changed command");
  }
  TransmitEvent(event);
}

void Specimen::RunThrowBad(LocalDataPtr& local) {
  local->EndInfoLine();
  logger.errorStream << "Throwing BadParameter exception" << std::endl;
  local.reset();
  ThrowCORBAException2<BadParameter>("command", "Requested exception thrown");
}

std::unique_ptr<SendCommandCompleteEvent> Specimen::MakeCommandComplete(
    bool complete, const std::string& requester, const std::string& transID,
    const std::string& text) {
  std::unique_ptr<SendCommandCompleteEvent> event(
      new SendCommandCompleteEvent(settings.GetCommandCompleteEventSettings(), broker));
  event->Complete(complete);
  event->Requester(requester);
  event->TransactionID(transID);
  EventPropertyValue value(broker);
  value.SetString(text);
  CORBA::Any result;
  value.CopyOut(result);
  event->Result(result);
  return event;
}

void Specimen::SendCommand_Asynch(std::string requester, std::string transID, float timeout,
                                  int times) {
  std::ostream& detail = logger.detailStream;
  detail << "Executing SendCommand_Asynch requester='" << requester << "' transID='" << transID
         << "' timeout=" << static_cast<double>(timeout) << " times=" << times;
  if (timeout > 0) {
    detail << std::endl;
    const double micros = std::floor(static_cast<double>(timeout) * 1000000.0);
    const unsigned long wait =
        micros >= 4294967295.0 ? 4294967295UL : static_cast<unsigned long>(micros);
    // Cut short only when the Specimen is being destroyed: then nothing more is sent.
    if (!workers.InterruptibleSleep(wait)) {
      return;
    }
  }
  for (int n = 1; n <= times; ++n) {
    if (workers.Stopping()) {
      if (timeout <= 0) {
        detail << std::endl;
      }
      return;
    }
    TransmitEvent(*MakeCommandComplete(false, requester, transID,
                                       "extra result line #" + std::to_string(n) + "\n"));
  }
  std::unique_ptr<SendCommandCompleteEvent> final =
      MakeCommandComplete(true, requester, transID, "Here is asynchronous result");
  detail << ": producing event ";
  final->Describe(detail);
  detail << std::endl;
  TransmitEvent(*final);
}
