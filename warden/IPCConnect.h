#pragma once

#include <sys/socket.h>
#include <sys/un.h>

#include <atomic>
#include <exception>
#include <stdexcept>
#include <string>
#include <thread>

#include <boost/shared_ptr.hpp>
#include <boost/signals2.hpp>

#include "framework/Semaphore.h"
#include "warden/ProcInfo.h"
#include "warden/ProcInfoSet.h"

namespace Corvane::Warden {

// The monitor's local request/response channel over a UNIX stream socket in the abstract
// namespace (no file is created). One request per connection: the client writes its bytes
// and shuts down its sending side; the server answers with whatever the handlers put into
// the response, then closes. At most 4096 bytes each way: each side keeps what its single
// read returns.
//
// As a server, one listener thread accepts one connection at a time and calls the
// handlers connected to the request signal on that thread. It answers only peers running
// as the server's own user or as root, and drops a connection that sends nothing for
// kRequestSilenceMs without shutting down its side, so that a stalled client cannot block
// the others. Writes never raise SIGPIPE: a peer that went away only loses its answer.
//
// StartServer, StopServer and the destructor are called from one thread; CallServer from
// any thread (it uses only the name).
class IPCConnect {
 public:
  using RequestSignal =
      boost::signals2::signal<void(IPCConnect&, const std::string& request, std::string& response)>;
  using ConnectionHolder = boost::shared_ptr<boost::signals2::scoped_connection>;

  static constexpr size_t kMaxMessageBytes = 4096;
  static constexpr int kRequestSilenceMs = 2000;

  // A failed system call: the message, then " (error #N: <system text>)".
  class SystemError : public std::runtime_error {
   public:
    SystemError(const std::string& message, int errorNumber);
    // With the current errno.
    explicit SystemError(const std::string& message);
    int GetErrorNumber() const { return errorNumber; }
    static std::string FormatSystemError(const std::string& message, int errorNumber);

   private:
    int errorNumber;
  };

  // Opens nothing; builds the socket address from name (cut to 107 bytes).
  explicit IPCConnect(const std::string& name);
  // Stops a running listener first.
  virtual ~IPCConnect();

  IPCConnect(const IPCConnect&) = delete;
  IPCConnect& operator=(const IPCConnect&) = delete;

  // Connects handler, binds and listens (backlog 3), and returns once the listener thread
  // is waiting for connections. The handler stays connected while the returned pointer (or
  // a copy) is held. Throws std::runtime_error when a listener exists or the socket is
  // open, SystemError when socket, bind (e.g. the name is served already) or listen
  // fails, and std::runtime_error when the listener cannot set itself up; on any failure
  // the handler is disconnected and the socket closed.
  ConnectionHolder StartServer(const RequestSignal::slot_type& handler);

  // Wakes and joins the listener, then closes the socket. Nothing when no listener runs.
  void StopServer();

  // One exchange with the server named like this object: returns its answer (possibly
  // empty). No time limit. Throws std::invalid_argument for an empty request, SystemError
  // when socket, connect (no server), write, shutdown or read fails, std::runtime_error
  // for a short write.
  std::string CallServer(const std::string& request);

  // Body of the listener thread; started by StartServer.
  void ListenerThread();

  // Fills address with the abstract name (leading zero byte, then at most 107 bytes of
  // name) and returns the used length.
  static socklen_t BuildAddress(const std::string& name, sockaddr_un& address);

 private:
  void SetUpListener(boost::shared_ptr<ProcInfo>& listenRecord);
  void ServeConnection(int connection);
  bool PeerMayCall(int connection) const;
  bool WaitForRequest(int connection);
  void EmitRequest(const std::string& request, std::string& response);
  void CloseListenSocket();

  RequestSignal requestSignal;
  std::string socketName;
  boost::shared_ptr<std::thread> pListenerThread;
  TalisFramework::Semaphore startupSem;
  std::atomic<bool> running;
  int listenFd;
  sockaddr_un address;
  socklen_t addressLength;
  ProcInfoSet waitSet;
  boost::shared_ptr<ProcInfo> pWakeInfo;
  // Set by the listener when it cannot set itself up; read by StartServer after the
  // handshake.
  std::exception_ptr startupError;
};

}  // namespace Corvane::Warden
