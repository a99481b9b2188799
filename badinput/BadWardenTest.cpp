// What the warden refuses, and how: words on its command line (the real program, in a
// network namespace of its own) and requests on its socket (the real channel and request
// handler, under a name private to this test).
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <boost/bind/bind.hpp>
#include <gtest/gtest.h>

#include "testing/ChildProcess.h"
#include "warden/IPCConnect.h"
#include "warden/Program.h"

namespace {

using Corvane::Testing::ChildProcess;
using Corvane::Warden::IPCConnect;

TEST(BadWardenTest, CommandLinesOutsideTheThreeWordsAreRefusedWithoutAConnection) {
  struct Case {
    std::vector<std::string> args;
    const char* output;
  };
  const Case cases[] = {
      {{"status"}, "Unexpected argument: status\n"},
      {{"onn"}, "Unexpected argument: onn\n"},
      {{"on "}, "Unexpected argument: on \n"},
      {{""}, "Unexpected argument: \n"},
      {{"\xff\xfe"}, "Unexpected argument: \xff\xfe\n"},
      {{"on", "off"}, "Unexpected argument count\n"},
      {{"kill", "kill", "kill"}, "Unexpected argument count\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    std::vector<std::string> argv{"unshare", "-rn", WARDEN_BINARY};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    ChildProcess warden(argv);
    ASSERT_TRUE(warden.Wait(30000));
    EXPECT_EQ(0, warden.ExitStatus());
    // Only the refusal: no "Starting server", so no connection was attempted.
    EXPECT_EQ(c.output, warden.Output());
  }
}

// Sends `bytes` on a connection of its own, shuts down the writing side and returns all
// that the server answers before it closes.
std::string Exchange(const std::string& name, const std::string& bytes) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  EXPECT_GE(fd, 0);
  sockaddr_un address = {};
  const socklen_t length = IPCConnect::BuildAddress(name, address);
  EXPECT_EQ(0, ::connect(fd, reinterpret_cast<sockaddr*>(&address), length));
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) {
      break;  // the server may stop reading after its one read; the answer still comes
    }
    sent += static_cast<std::size_t>(n);
  }
  ::shutdown(fd, SHUT_WR);
  std::string answer;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
    answer.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return answer;
}

TEST(BadWardenTest, SocketRequestsOtherThanTheThreeWordsAreInvalid) {
  const std::string name = "badinput-warden-" + std::to_string(::getpid());
  Program program;
  IPCConnect channel(name);
  using namespace boost::placeholders;
  IPCConnect::ConnectionHolder handler =
      channel.StartServer(boost::bind(&Program::OnIPCRequest, &program, _1, _2, _3));
  struct Case {
    const char* what;
    std::string request;
    const char* answer;
  };
  const Case cases[] = {
      {"nothing at all: closed without an answer", "", ""},
      {"a line end after the word", "on\n", "Invalid request"},
      {"a blank before the word", " off", "Invalid request"},
      {"a word cut short", "kil", "Invalid request"},
      {"a NUL inside the word", std::string("o\0n", 3), "Invalid request"},
      {"invalid UTF-8", "\xc3\x28\xff", "Invalid request"},
      {"4097 bytes", std::string(4097, 'a'), "Invalid request"},
      {"64 KiB", std::string(65536, 'o'), "Invalid request"},
      // Still served after every refusal, the word in any case.
      {"off while off", "OfF", "Server is already stopped"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.answer, Exchange(name, c.request));
  }
  EXPECT_FALSE(program.IsStarted());
  channel.StopServer();
}

}  // namespace
