#include "serialterm/Program.h"

#include <errno.h>
#include <stdlib.h>
#include <unistd.h>

#include <cctype>
#include <functional>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <thread>
#include <typeinfo>
#include <utility>

#include <boost/date_time/posix_time/posix_time_types.hpp>

#include "framework/GetErrorDescription.h"
#include "framework/RetryOnEintr.h"
#include "serialterm/ConsoleMode.h"
#include "serialterm/StopEvents.h"

using Corvane::TalisFramework::ByteArray;
using Corvane::TalisFramework::GetErrorDescription;
using Corvane::TalisFramework::RetryOnEintr;

namespace {

constexpr unsigned char kEscape = 27;
constexpr unsigned char kCarriageReturn = 13;
constexpr unsigned char kLineFeed = 10;
constexpr int kDefaultBaudRate = 14;  // the termios code of 19200 bit/s
constexpr int kEightDataBits = 0x30;  // CS8
constexpr int kNoParity = 2;
constexpr int kOneStopBit = 1;
constexpr int kNoFlowControl = 2;
constexpr long kReceiveWaitMicroseconds = 500000;
constexpr unsigned kReceiveChunkBytes = 1024;
constexpr long kReceiveIntervalMilliseconds = 50;

// The run-time type name as the type information gives it, a leading '*' skipped.
std::string TypeName(const std::exception& exception) {
  const char* name = typeid(exception).name();
  return name[0] == '*' ? name + 1 : name;
}

// Reports a failure that ends a thread, on a line of its own.
void ReportThreadFailure(const char* thread, const std::exception& exception) {
  std::cerr << std::endl
            << thread << " caught exception type " << TypeName(exception) << ": "
            << exception.what() << std::endl;
}

// True when `text` begins with `prefix`, each character upper-cased before comparing.
bool StartsWithIgnoreCase(const std::string& text, const std::string& prefix) {
  if (text.size() < prefix.size()) {
    return false;
  }
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(text[i])) !=
        std::toupper(static_cast<unsigned char>(prefix[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

Program::Program(std::vector<std::string> arguments)
    : consoleFd(1),
      logger(arguments.empty() ? "" : arguments[0].c_str(), 1,
             Corvane::TalisFramework::Logger::Info),
      port(arguments.size() > 1 ? arguments[1] : std::string(), logger),
      args(std::move(arguments)) {}

int Program::main() {
  if (args.size() < 2) {
    return 0;
  }
  // Declared in this order so that the console is put back before the stop signals are
  // unblocked: a pending SIGTERM then ends the process with the console restored.
  std::unique_ptr<StopEvents> stopEvents;
  ConsoleMode console(consoleFd);
  try {
    stopEvents = std::make_unique<StopEvents>();
    console.MakeRaw();
    Run(*stopEvents);
  } catch (const std::exception& exception) {
    std::cerr << "Caught exception type " << TypeName(exception) << ": " << exception.what()
              << std::endl;
  }
  return 0;
}

void Program::Run(StopEvents& stopEvents) {
  OpenPort(ParseOptions(args));
  RunThreads(stopEvents);
}

Program::ISerialPort::BaudRate Program::ParseOptions(const std::vector<std::string>& arguments) {
  auto baudRate = static_cast<ISerialPort::BaudRate>(kDefaultBaudRate);
  for (size_t i = 2; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (!StartsWithIgnoreCase(argument, "baud=") && !StartsWithIgnoreCase(argument, "baudrate=")) {
      throw std::invalid_argument("'" + argument + "' is not a valid option");
    }
    const std::string value = argument.substr(argument.find('=') + 1);
    std::cout << "baud rate " << value << std::endl;
    char* end = nullptr;
    const unsigned long number = ::strtoul(value.c_str(), &end, 10);
    std::cout << number << std::endl;
    if (*end != '\0') {
      throw std::invalid_argument(value + " could not be converted to a baud rate number");
    }
    baudRate = ISerialPort::NumToBaudRate(number);
    std::cout << static_cast<int>(baudRate) << std::endl;
  }
  return baudRate;
}

void Program::OpenPort(ISerialPort::BaudRate baudRate) {
  port.Open(baudRate, static_cast<ISerialPort::CharacterSize>(kEightDataBits),
            static_cast<ISerialPort::Parity>(kNoParity),
            static_cast<ISerialPort::StopBits>(kOneStopBit),
            static_cast<ISerialPort::FlowControl>(kNoFlowControl));
  port.SetRts(true);
  port.SetDtr(true);
}

void Program::RunThreads(StopEvents& stopEvents) {
  Receiver receiver(this);
  std::thread transmitterThread(Transmitter(this, &stopEvents));
  std::thread receiverThread;
  try {
    receiverThread = std::thread(std::ref(receiver));
  } catch (...) {
    // The transmitter waits for a key; it must end before its thread object goes away.
    stopEvents.Request();
    transmitterThread.join();
    throw;
  }
  transmitterThread.join();
  receiver.stop = true;
  receiverThread.join();
}

void Program::prompt() {
  const bool cts = port.GetCts();
  const bool dsr = port.GetDsr();
  const bool dcd = port.GetDcd();
  const std::string text = PromptText(cts, dsr, dcd);
  WriteConsole(text.data(), text.size());
}

std::string Program::PromptText(bool cts, bool dsr, bool dcd) {
  std::string text;
  text += cts ? "CTS " : "cts ";
  text += dsr ? "DSR " : "dsr ";
  text += dcd ? "DCD> " : "dcd> ";
  return text;
}

void Program::WriteConsole(const void* data, size_t size) {
  const char* next = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = RetryOnEintr([&] { return ::write(consoleFd, next, size); });
    if (written == -1) {
      const int error = errno;
      throw std::runtime_error("Program::WriteConsole: write() failed on descriptor " +
                               std::to_string(consoleFd) + ": " + std::to_string(error) + " " +
                               GetErrorDescription(error));
    }
    next += written;
    size -= static_cast<size_t>(written);
  }
}

void Program::WriteReceived(const unsigned char* data, size_t size) {
  size_t start = 0;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == kLineFeed) {
      WriteConsole(data + start, i + 1 - start);
      prompt();
      start = i + 1;
    }
  }
  if (start < size) {
    WriteConsole(data + start, size - start);
  }
}

void Program::Transmitter::operator()() {
  try {
    Run();
  } catch (const std::exception& exception) {
    ReportThreadFailure("Transmitter", exception);
  }
}

void Program::Transmitter::Run() {
  ByteArray buffer(1);
  program->prompt();
  for (;;) {
    if (!stopEvents->WaitForInput(program->consoleFd)) {
      return;
    }
    unsigned char key = 0;
    if (RetryOnEintr([&] { return ::read(program->consoleFd, &key, 1); }) != 1 || key == kEscape) {
      return;
    }
    program->WriteConsole(&key, 1);
    if (key == kLineFeed) {
      program->prompt();
    } else if (key == kCarriageReturn) {
      program->WriteConsole(&kLineFeed, 1);
      program->prompt();
    }
    buffer[0] = key;
    program->port.Write(buffer);
  }
}

void Program::Receiver::operator()() {
  try {
    Run();
  } catch (const std::exception& exception) {
    ReportThreadFailure("Receiver", exception);
  }
}

void Program::Receiver::Run() {
  const auto wait = boost::posix_time::microseconds(kReceiveWaitMicroseconds);
  const auto interval = boost::posix_time::milliseconds(kReceiveIntervalMilliseconds);
  while (!stop) {
    bool readable = true;
    bool writable = false;
    program->port.WaitForPortState(wait, readable, writable, false);
    if (!readable) {
      continue;
    }
    ByteArray received;
    program->port.ReadWithIntervalTimer(received, kReceiveChunkBytes, interval, nullptr, false);
    if (received.size() == 0) {
      return;
    }
    program->WriteReceived(received.data(), received.size());
  }
}
