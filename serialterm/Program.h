#pragma once

#include <atomic>
#include <exception>
#include <string>
#include <vector>

#include "platform/talis/ByteArray.h"
#include "platform/talis/SerialPort.h"
#include "platform/talis/StdOutLogger.h"

class StopEvents;

// The serial terminal: joins the console it runs on (descriptor 1, read and written) to
// one serial port. Keys typed on the console are echoed and sent to the port one by one;
// bytes from the port are written to the console; a prompt shows the port's modem lines.
class Program {
 public:
  using SerialPort = Corvane::TalisFramework::SerialPort;
  using ISerialPort = Corvane::TalisFramework::ISerialPort;

  // Thread body that reads console keys and sends them to the port. It ends on Escape, on
  // a console read that does not give one byte, when `stopEvents` reports a stop, or when
  // a port write or a prompt fails (reported on standard error).
  class Transmitter {
   public:
    Transmitter(Program* owner, StopEvents* stop) : program(owner), stopEvents(stop) {}
    void operator()();

    Program* program;
    StopEvents* stopEvents;

   private:
    void Run();
  };

  // Thread body that copies port bytes to the console, showing the prompt after every
  // line feed. It ends once `stop` is set (noticed within one 500 ms wait), when a
  // readable port gives no byte, or on a failure (reported on standard error).
  class Receiver {
   public:
    explicit Receiver(Program* owner) : program(owner) {}
    void operator()();

    Program* program;
    std::atomic<bool> stop{false};

   private:
    void Run();
  };

  // `arguments` are the whole command line, argument 0 (the logger's name) included;
  // argument 1, when present, names the serial device. Nothing is opened yet.
  explicit Program(std::vector<std::string> arguments);

  // Runs the terminal until Escape and returns the exit status (0, also after a reported
  // failure). Without a device argument it returns at once and leaves the console alone.
  int main();

  // Writes the modem-line prompt on the console with a single write. Throws
  // std::runtime_error when a line cannot be queried or the console cannot be written.
  void prompt();

  // The prompt text: each of CTS, DSR and DCD upper case when asserted, lower case when
  // not, separated by blanks and followed by "> ".
  static std::string PromptText(bool cts, bool dsr, bool dcd);

  // Parses the options (arguments 2 onward), writing the accepted values as lines on
  // standard output, and returns the baud rate of the last one (19200 without options).
  // Throws std::invalid_argument for a malformed or unknown option or unsupported rate.
  static ISerialPort::BaudRate ParseOptions(const std::vector<std::string>& arguments);

 private:
  void Run(StopEvents& stopEvents);
  void OpenPort(ISerialPort::BaudRate baudRate);
  void RunThreads(StopEvents& stopEvents);
  // Writes all `size` bytes to the console. Throws std::runtime_error.
  void WriteConsole(const void* data, size_t size);
  // Writes received bytes in pieces that end at line feeds, each followed by a prompt.
  void WriteReceived(const unsigned char* data, size_t size);

  int consoleFd;
  Corvane::TalisFramework::StdOutLogger logger;
  SerialPort port;
  std::vector<std::string> args;
};
