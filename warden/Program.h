#pragma once

#include <atomic>
#include <string>
#include <vector>

#include <boost/noncopyable.hpp>

#include "framework/Semaphore.h"
#include "warden/IPCConnect.h"

// The warden program. Without arguments it serves "on", "off" and "kill" on the abstract
// socket "busyworkaround"; while on, its main thread spins on busySem without pause.
// With one of those words it is a client: it sends the word and prints the answer,
// starting a server in a forked child (and asking again 5 seconds later) when none
// answers. Every line goes to standard output and is flushed at once.
class Program : private boost::noncopyable {
 public:
  Program();

  // Dispatches on the arguments after the program name; returns the exit status. In a
  // server child forked by the client this returns the server's result (0 after a kill,
  // 1 after an exception).
  int Run(const std::vector<std::string>& args);

  // Serves until a "kill" request; 0 after a kill, 1 after an exception.
  int RunServer();

  // Sends word to the server and prints the answer, starting a server when none answers.
  int RunClient(const std::string& word);

  // The request handler: replaces response with the answer to request. Runs on the
  // channel's listener thread.
  void OnIPCRequest(Corvane::Warden::IPCConnect& channel, const std::string& request,
                    std::string& response);

  bool IsStarted() const { return started; }
  bool IsKilled() const { return killed; }

  // Equal lengths and equal characters after upper-casing each in the default locale.
  static bool EqualsIgnoreCase(const std::string& left, const std::string& right);

 private:
  static void PrintLine(const std::string& line);

  Corvane::TalisFramework::Semaphore busySem;
  std::string socketName;
  bool started;
  // Written by the handler, read by the busy loop on the main thread.
  std::atomic<bool> killed;
};
