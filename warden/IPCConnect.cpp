#include "warden/IPCConnect.h"

#include <poll.h>
#include <stddef.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <iostream>
#include <thread>
#include <typeinfo>

#include <boost/make_shared.hpp>
#include <boost/thread/lock_guard.hpp>

#include "framework/GetErrorDescription.h"
#include "framework/RetryOnEintr.h"

namespace Corvane::Warden {

using TalisFramework::GetErrorDescription;
using TalisFramework::RetryOnEintr;

namespace {

const size_t kMaxNameBytes = sizeof(sockaddr_un::sun_path) - 1;
const int kListenBacklog = 3;

// The type-information name, a leading '*' skipped.
std::string TypeName(const std::type_info& type) {
  const char* name = type.name();
  return name[0] == '*' ? name + 1 : name;
}

long NowMs() {
  timespec now;
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000L + now.tv_nsec / 1000000L;
}

// Owns a client socket for the length of one exchange.
class ScopedFd {
 public:
  explicit ScopedFd(int fd) : value(fd) {}
  ~ScopedFd() {
    if (value != -1) {
      ::close(value);
    }
  }
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;
  int Get() const { return value; }

 private:
  int value;
};

}  // namespace

IPCConnect::SystemError::SystemError(const std::string& message, int number)
    : std::runtime_error(FormatSystemError(message, number)), errorNumber(number) {}

IPCConnect::SystemError::SystemError(const std::string& message) : SystemError(message, errno) {}

std::string IPCConnect::SystemError::FormatSystemError(const std::string& message, int number) {
  return message + " (error #" + std::to_string(number) + ": " + GetErrorDescription(number) + ")";
}

IPCConnect::IPCConnect(const std::string& name)
    : socketName(name), startupSem(1, 0), running(false), listenFd(-1) {
  addressLength = BuildAddress(socketName, address);
}

IPCConnect::~IPCConnect() {
  if (listenFd != -1 || pListenerThread) {
    StopServer();
  }
}

socklen_t IPCConnect::BuildAddress(const std::string& name, sockaddr_un& addr) {
  ::memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  const size_t length = std::min(name.size(), kMaxNameBytes);
  // sun_path[0] stays 0: the name lives in the abstract namespace.
  ::memcpy(addr.sun_path + 1, name.data(), length);
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
}

// Boost.Signals2's slot-group key trips GCC's maybe-uninitialized analysis in optimised
// sanitizer builds; the optional it names is always set before use.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
IPCConnect::ConnectionHolder IPCConnect::StartServer(const RequestSignal::slot_type& handler) {
  if (pListenerThread) {
    throw std::runtime_error(
        "IPCConnect::StartServer: the listener thread has already been started");
  }
  if (listenFd != -1) {
    throw std::runtime_error("IPCConnect::StartServer: the socket is already open");
  }
  ConnectionHolder holder =
      boost::make_shared<boost::signals2::scoped_connection>(requestSignal.connect(handler));
  try {
    listenFd = RetryOnEintr([] { return ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0); });
    if (listenFd == -1) {
      throw SystemError("IPCConnect::StartServer: socket(AF_UNIX,SOCK_STREAM,0) failed", errno);
    }
    if (RetryOnEintr([&] {
          return ::bind(listenFd, reinterpret_cast<const sockaddr*>(&address), addressLength);
        }) == -1) {
      throw SystemError("IPCConnect::StartServer: bind() failed", errno);
    }
    if (RetryOnEintr([&] { return ::listen(listenFd, kListenBacklog); }) == -1) {
      throw SystemError("IPCConnect::StartServer: listen() failed", errno);
    }
    running = true;
    startupError = nullptr;
    startupSem.SetCount(0);
    pListenerThread = boost::make_shared<std::thread>([this] { ListenerThread(); });
    startupSem.Wait();
    if (startupError) {
      pListenerThread->join();
      pListenerThread.reset();
      std::rethrow_exception(startupError);
    }
  } catch (...) {
    running = false;
    CloseListenSocket();
    throw;
  }
  return holder;
}
#pragma GCC diagnostic pop

void IPCConnect::CloseListenSocket() {
  if (listenFd != -1) {
    ::close(listenFd);
    listenFd = -1;
  }
}

void IPCConnect::StopServer() {
  if (!pListenerThread) {
    CloseListenSocket();
    return;
  }
  running = false;
  if (pWakeInfo && pWakeInfo->GetPipes()) {
    TalisFramework::Pipes& pipes = *pWakeInfo->GetPipes();
    boost::lock_guard<TalisFramework::Pipes> guard(pipes);
    if (pipes.IsWriteOpen()) {
      const char wake = 'A';
      ssize_t ignored = ::write(pipes.GetWriteFd(), &wake, 1);
      (void)ignored;
    }
  }
  // Joined before the socket is closed: a listener never touches a descriptor number that
  // another thread may already have reused.
  pListenerThread->join();
  pListenerThread.reset();
  CloseListenSocket();
}

std::string IPCConnect::CallServer(const std::string& request) {
  if (request.empty()) {
    throw std::invalid_argument("IPCConnect::CallServer: the request is empty");
  }
  sockaddr_un serverAddress;
  const socklen_t length = BuildAddress(socketName, serverAddress);
  const int fd = RetryOnEintr([] { return ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0); });
  if (fd == -1) {
    throw SystemError("IPCConnect::CallServer: socket(AF_UNIX,SOCK_STREAM,0) failed", errno);
  }
  ScopedFd socket(fd);
  if (RetryOnEintr([&] {
        return ::connect(fd, reinterpret_cast<const sockaddr*>(&serverAddress), length);
      }) == -1) {
    throw SystemError("IPCConnect::CallServer: connect failed", errno);
  }
  const ssize_t written =
      RetryOnEintr([&] { return ::send(fd, request.data(), request.size(), MSG_NOSIGNAL); });
  if (written == -1) {
    throw SystemError("IPCConnect::CallServer: failed while writing request to server", errno);
  }
  if (static_cast<size_t>(written) != request.size()) {
    throw std::runtime_error("IPCConnect::CallServer: attempted to write " +
                             std::to_string(request.size()) + " bytes to server, but only " +
                             std::to_string(written) + " were accepted");
  }
  if (RetryOnEintr([&] { return ::shutdown(fd, SHUT_WR); }) == -1) {
    throw SystemError("IPCConnect::CallServer: failed while shutting down writes to the connection",
                      errno);
  }
  char buffer[kMaxMessageBytes];
  const ssize_t count = RetryOnEintr([&] { return ::read(fd, buffer, sizeof buffer); });
  if (count == -1) {
    throw SystemError("IPCConnect::CallServer: failed while reading server response", errno);
  }
  return std::string(buffer, static_cast<size_t>(count));
}

void IPCConnect::SetUpListener(boost::shared_ptr<ProcInfo>& listenRecord) {
  listenRecord = boost::make_shared<ProcInfo>(listenFd);
  pWakeInfo = ProcInfo::Create();
  waitSet.Add(listenRecord);
  waitSet.Add(pWakeInfo);
}

void IPCConnect::ListenerThread() {
  boost::shared_ptr<ProcInfo> listenRecord;
  try {
    SetUpListener(listenRecord);
  } catch (...) {
    waitSet.Remove(listenRecord);
    waitSet.Remove(pWakeInfo);
    startupError = std::current_exception();
    try {
      std::rethrow_exception(startupError);
    } catch (const std::exception& e) {
      startupError = std::make_exception_ptr(std::runtime_error(
          std::string("IPCConnect::StartServer: the listener could not start: ") + e.what()));
    } catch (...) {
      startupError = std::make_exception_ptr(
          std::runtime_error("IPCConnect::StartServer: the listener could not start"));
    }
    startupSem.Post();
    return;
  }
  startupSem.Post();

  try {
    while (running) {
      const boost::shared_ptr<ProcInfo> ready = waitSet.Wait(-1);
      if (!running || ready != listenRecord) {
        continue;
      }
      // Not retried on EINTR: the loop comes back here after checking `running`.
      const int connection = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
      if (connection == -1) {
        if (running) {
          std::this_thread::sleep_for(std::chrono::seconds(1));
        }
        continue;
      }
      ServeConnection(connection);
    }
  } catch (const std::exception& e) {
    // Nobody waits for this thread's result; the owner finds it ended at StopServer.
    std::cerr << "IPCConnect listener stopped: " << TypeName(typeid(e)) << ": " << e.what()
              << std::endl;
  }
  waitSet.Remove(listenRecord);
  waitSet.Remove(pWakeInfo);
}

void IPCConnect::ServeConnection(int connection) {
  char buffer[kMaxMessageBytes];
  ssize_t count = -1;
  if (PeerMayCall(connection)) {
    // Usually the request is there already; only a slow client costs the wait.
    count = RetryOnEintr([&] { return ::recv(connection, buffer, sizeof buffer, MSG_DONTWAIT); });
    if (count == -1 && errno == EAGAIN && WaitForRequest(connection)) {
      count = RetryOnEintr([&] { return ::read(connection, buffer, sizeof buffer); });
    }
  }
  if (count > 0) {
    const std::string request(buffer, static_cast<size_t>(count));
    std::string response;
    EmitRequest(request, response);
    if (!response.empty()) {
      // A client that has gone only loses its answer: MSG_NOSIGNAL keeps SIGPIPE away.
      RetryOnEintr(
          [&] { return ::send(connection, response.data(), response.size(), MSG_NOSIGNAL); });
    }
    RetryOnEintr([&] { return ::shutdown(connection, SHUT_RDWR); });
  }
  // Not retried: Linux frees the descriptor even when close() reports EINTR.
  ::close(connection);
}

// The socket has no file permissions to guard it, so the peer's user id does.
bool IPCConnect::PeerMayCall(int connection) const {
  ucred peer{};
  socklen_t length = sizeof peer;
  if (::getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0) {
    return false;
  }
  return peer.uid == ::geteuid() || peer.uid == 0;
}

// True once the request (or the client's end of sending) has arrived; false after
// kRequestSilenceMs of silence or when StopServer wakes the listener.
bool IPCConnect::WaitForRequest(int connection) {
  const long deadline = NowMs() + kRequestSilenceMs;
  pollfd entries[2] = {{connection, POLLIN, 0}, {pWakeInfo->GetWatchFd(), POLLIN, 0}};
  for (;;) {
    const long left = deadline - NowMs();
    if (left <= 0) {
      return false;
    }
    const int n = ::poll(entries, 2, static_cast<int>(left));
    if (n > 0) {
      return (entries[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0 && entries[1].revents == 0;
    }
    if (n == 0 || errno != EINTR) {
      return false;
    }
  }
}

void IPCConnect::EmitRequest(const std::string& request, std::string& response) {
  try {
    requestSignal(*this, request, response);
  } catch (const std::exception& e) {
    if (!response.empty()) {
      response += "\n\n";
    }
    response += "Remote instance caught " + TypeName(typeid(e)) + ": " + e.what();
  } catch (...) {
    if (!response.empty()) {
      response += "\n\n";
    }
    response += "Remote instance caught generic exception";
  }
}

}  // namespace Corvane::Warden
