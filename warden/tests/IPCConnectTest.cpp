#include "warden/IPCConnect.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "framework/GetErrorDescription.h"

namespace Corvane::Warden {
namespace {

using Holder = IPCConnect::ConnectionHolder;

// Names private to this process, so that tests of several processes never meet.
std::string UniqueName(const std::string& tag) {
  static std::atomic<int> counter{0};
  return "warden-test-" + std::to_string(::getpid()) + "-" + tag + "-" + std::to_string(counter++);
}

// A client socket connected to name, or -1.
int ConnectRaw(const std::string& name) {
  sockaddr_un address;
  const socklen_t length = IPCConnect::BuildAddress(name, address);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

std::string ReadAll(int fd) {
  std::string text;
  char buffer[8192];
  ssize_t count;
  while ((count = ::read(fd, buffer, sizeof buffer)) > 0) {
    text.append(buffer, static_cast<size_t>(count));
  }
  return text;
}

TEST(IPCConnectTest, AddressUsesTheAbstractNamespaceAndCutsLongNames) {
  sockaddr_un address;
  EXPECT_EQ(2u + 1u + 3u, IPCConnect::BuildAddress("abc", address));
  EXPECT_EQ('\0', address.sun_path[0]);
  EXPECT_EQ(std::string("abc"), std::string(address.sun_path + 1, 3));
  EXPECT_EQ(110u, IPCConnect::BuildAddress(std::string(120, 'n'), address));

  const std::string base = UniqueName("long") + std::string(120, 'x');
  IPCConnect server(base);
  Holder holder = server.StartServer(
      [](IPCConnect&, const std::string& request, std::string& response) { response = request; });
  IPCConnect client(base.substr(0, 107) + "-a-different-tail");
  EXPECT_EQ("ping", client.CallServer("ping"));
}

TEST(IPCConnectTest, ClientErrors) {
  IPCConnect client(UniqueName("nobody"));
  try {
    client.CallServer("");
    ADD_FAILURE() << "no exception";
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ("IPCConnect::CallServer: the request is empty", e.what());
  }
  try {
    client.CallServer("on");
    ADD_FAILURE() << "no exception";
  } catch (const IPCConnect::SystemError& e) {
    EXPECT_EQ(ECONNREFUSED, e.GetErrorNumber());
    EXPECT_EQ("IPCConnect::CallServer: connect failed (error #" + std::to_string(ECONNREFUSED) +
                  ": " + TalisFramework::GetErrorDescription(ECONNREFUSED) + ")",
              e.what());
  }
}

// The first server's handler stays connected across StopServer, so the restarted server
// emits two handlers in connection order; an exception ends the emission.
TEST(IPCConnectTest, HandlerExceptionsBecomeTheAnswer) {
  std::atomic<int> laterCalls{0};
  IPCConnect server(UniqueName("throw"));
  Holder first =
      server.StartServer([](IPCConnect&, const std::string& request, std::string& response) {
        if (request == "integer") {
          throw 42;
        }
        if (request == "logic") {
          throw std::logic_error("y");
        }
        response = "abc";
        if (request == "text-then-error") {
          throw std::runtime_error("x");
        }
      });
  server.StopServer();
  Holder second = server.StartServer([&](IPCConnect&, const std::string&, std::string& response) {
    ++laterCalls;
    response += "+later";
  });

  struct Case {
    const char* request;
    const char* answer;
    int laterCalls;
  };
  const Case cases[] = {
      {"plain", "abc+later", 1},
      {"text-then-error", "abc\n\nRemote instance caught St13runtime_error: x", 1},
      {"integer", "Remote instance caught generic exception", 1},
      {"logic", "Remote instance caught St11logic_error: y", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.request);
    EXPECT_EQ(c.answer, server.CallServer(c.request));
    EXPECT_EQ(c.laterCalls, laterCalls.load());
  }
  // Without handlers every request gets an empty answer.
  first.reset();
  second.reset();
  EXPECT_EQ("", server.CallServer("plain"));
}

TEST(IPCConnectTest, ServerLifecycle) {
  const std::string name = UniqueName("life");
  IPCConnect neverServed(name);
  neverServed.StopServer();

  std::atomic<int> firstCalls{0};
  IPCConnect server(name);
  Holder holder = server.StartServer([&](IPCConnect&, const std::string&, std::string& response) {
    ++firstCalls;
    response = "first";
  });
  try {
    server.StartServer([](IPCConnect&, const std::string&, std::string&) {});
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ("IPCConnect::StartServer: the listener thread has already been started", e.what());
  }
  EXPECT_EQ("first", server.CallServer("x"));

  // A second object cannot bind the served name, and its handler is dropped again.
  std::atomic<int> refusedCalls{0};
  IPCConnect rival(name);
  try {
    rival.StartServer([&](IPCConnect&, const std::string&, std::string&) { ++refusedCalls; });
    ADD_FAILURE() << "no exception";
  } catch (const IPCConnect::SystemError& e) {
    EXPECT_EQ(EADDRINUSE, e.GetErrorNumber());
    EXPECT_EQ(0, std::string(e.what()).find("IPCConnect::StartServer: bind() failed (error #"));
  }

  server.StopServer();
  EXPECT_THROW(server.CallServer("x"), IPCConnect::SystemError);
  Holder rivalHolder = rival.StartServer(
      [](IPCConnect&, const std::string&, std::string& response) { response += "rival"; });
  EXPECT_EQ("rival", rival.CallServer("x"));
  EXPECT_EQ(0, refusedCalls.load());
  EXPECT_EQ(1, firstCalls.load());
}

TEST(IPCConnectTest, DestroyingAServingObjectStopsIt) {
  const std::string name = UniqueName("gone");
  {
    IPCConnect server(name);
    Holder holder = server.StartServer([](IPCConnect&, const std::string&, std::string&) {});
    const int fd = ConnectRaw(name);
    ASSERT_NE(-1, fd);
    ::close(fd);
  }
  EXPECT_EQ(-1, ConnectRaw(name));
  IPCConnect again(name);
  Holder holder = again.StartServer([](IPCConnect&, const std::string&, std::string&) {});
}

TEST(IPCConnectTest, RequestsAreCutToOneBuffer) {
  const std::string name = UniqueName("size");
  IPCConnect server(name);
  std::atomic<int> calls{0};
  Holder holder =
      server.StartServer([&](IPCConnect&, const std::string& request, std::string& response) {
        ++calls;
        response = std::to_string(request.size()) + ":" + request.substr(0, 3);
      });
  EXPECT_EQ("4096:abc", server.CallServer("abc" + std::string(4997, 'z')));

  // Connected and shut down without a byte: closed without an answer, no handler call.
  const int fd = ConnectRaw(name);
  ASSERT_NE(-1, fd);
  ASSERT_EQ(0, ::shutdown(fd, SHUT_WR));
  EXPECT_EQ("", ReadAll(fd));
  ::close(fd);
  EXPECT_EQ(1, calls.load());
}

// A client that leaves before its answer must not end the server with SIGPIPE.
TEST(IPCConnectTest, ClientGoneBeforeTheAnswer) {
  const std::string name = UniqueName("pipe");
  IPCConnect server(name);
  std::atomic<bool> clientGone{false};
  Holder holder =
      server.StartServer([&](IPCConnect&, const std::string& request, std::string& response) {
        for (int i = 0; i < 1000 && request == "leaving" && !clientGone; ++i) {
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        response = std::string(IPCConnect::kMaxMessageBytes, 'r');
      });
  const int fd = ConnectRaw(name);
  ASSERT_NE(-1, fd);
  ASSERT_EQ(7, ::write(fd, "leaving", 7));
  ASSERT_EQ(0, ::shutdown(fd, SHUT_WR));
  ::close(fd);
  clientGone = true;
  EXPECT_EQ(IPCConnect::kMaxMessageBytes, server.CallServer("next").size());
}

// A listener that cannot set itself up fails StartServer instead of leaving it waiting for
// a handshake. Here every descriptor below 1024 is taken, so the listening socket gets one
// that select cannot watch and the listener refuses it.
TEST(IPCConnectTest, ListenerSetUpFailureFailsStartServer) {
  rlimit saved;
  ASSERT_EQ(0, ::getrlimit(RLIMIT_NOFILE, &saved));
  rlimit roomy = saved;
  roomy.rlim_cur = std::min<rlim_t>(saved.rlim_max, 4096);
  if (roomy.rlim_cur < FD_SETSIZE + 16 || ::setrlimit(RLIMIT_NOFILE, &roomy) != 0) {
    GTEST_SKIP() << "cannot open descriptors beyond " << FD_SETSIZE;
  }
  std::vector<int> fillers;
  for (int fd = 0; fd < FD_SETSIZE; ++fd) {
    if (::fcntl(fd, F_GETFD) == -1 && ::dup2(2, fd) == fd) {
      fillers.push_back(fd);
    }
  }
  std::atomic<int> calls{0};
  IPCConnect server(UniqueName("setup"));
  std::string message;
  try {
    server.StartServer([&](IPCConnect&, const std::string&, std::string&) { ++calls; });
  } catch (const std::runtime_error& e) {
    message = e.what();
  }
  for (int fd : fillers) {
    ::close(fd);
  }
  ::setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(0u, message.find("IPCConnect::StartServer: the listener could not start: ")) << message;
  Holder holder = server.StartServer(
      [](IPCConnect&, const std::string&, std::string& response) { response = "up"; });
  EXPECT_EQ("up", server.CallServer("x"));
  EXPECT_EQ(0, calls.load());
}

}  // namespace
}  // namespace Corvane::Warden
