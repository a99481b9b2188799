#include "warden/Program.h"

#include <unistd.h>

#include <cctype>
#include <chrono>
#include <iostream>
#include <thread>

#include <boost/bind/bind.hpp>
#include <boost/thread/lock_guard.hpp>

using Corvane::Warden::IPCConnect;

namespace {

const char kSocketName[] = "busyworkaround";
const auto kServerStartWait = std::chrono::seconds(5);
const auto kKillGrace = std::chrono::seconds(1);

}  // namespace

Program::Program() : busySem(0, 0), socketName(kSocketName), started(false), killed(false) {}

bool Program::EqualsIgnoreCase(const std::string& left, const std::string& right) {
  if (left.size() != right.size()) {
    return false;
  }
  for (size_t i = 0; i < left.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(left[i])) !=
        std::toupper(static_cast<unsigned char>(right[i]))) {
      return false;
    }
  }
  return true;
}

void Program::PrintLine(const std::string& line) {
  std::cout << line << std::endl;
}

int Program::Run(const std::vector<std::string>& args) {
  if (args.empty()) {
    PrintLine("Starting server standalone");
    RunServer();
    return 0;
  }
  if (args.size() > 1) {
    PrintLine("Unexpected argument count");
    return 0;
  }
  const std::string& word = args[0];
  if (EqualsIgnoreCase(word, "on") || EqualsIgnoreCase(word, "off") ||
      EqualsIgnoreCase(word, "kill")) {
    return RunClient(word);
  }
  PrintLine("Unexpected argument: " + word);
  return 0;
}

int Program::RunClient(const std::string& word) {
  IPCConnect channel(socketName);
  try {
    PrintLine("Server returned: " + channel.CallServer(word));
    return 0;
  } catch (...) {
  }
  PrintLine("Starting server");
  if (::fork() == 0) {
    // The server child ends with the server's result; main returns it.
    return RunServer();
  }
  // The server child is not waited for: it outlives this client.
  std::this_thread::sleep_for(kServerStartWait);
  try {
    PrintLine("Server returned: " + channel.CallServer(word));
  } catch (...) {
    PrintLine("Failed to contact server");
  }
  return 0;
}

int Program::RunServer() {
  try {
    IPCConnect channel(socketName);
    using namespace boost::placeholders;
    IPCConnect::ConnectionHolder holder =
        channel.StartServer(boost::bind(&Program::OnIPCRequest, this, _1, _2, _3));
    while (!killed) {
      // Takes the count and gives it back at once: spins while "on" left a count, sleeps
      // while "off" took it.
      boost::lock_guard<Corvane::TalisFramework::Semaphore> pass(busySem);
    }
    std::this_thread::sleep_for(kKillGrace);
    holder.reset();
    PrintLine("Server was killed");
    channel.StopServer();
    return 0;
  } catch (...) {
    PrintLine("Server caught exception");
    return 1;
  }
}

void Program::OnIPCRequest(IPCConnect& /*channel*/, const std::string& request,
                           std::string& response) {
  if (EqualsIgnoreCase(request, "on")) {
    if (started) {
      response = "Server is already started";
      return;
    }
    started = true;
    busySem.Post();
    response = "OK";
  } else if (EqualsIgnoreCase(request, "off")) {
    if (!started) {
      response = "Server is already stopped";
      return;
    }
    started = false;
    busySem.Wait();
    response = "OK";
  } else if (EqualsIgnoreCase(request, "kill")) {
    killed = true;
    busySem.Post();
    response = "OK";
  } else {
    response = "Invalid request";
  }
}
