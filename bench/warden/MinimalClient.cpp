// The smallest client of the control socket: sends "off", prints the answer. Built
// statically, it is the floor for the start-up time of a client process.
#include <stddef.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

int main() {
  sockaddr_un address;
  memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  const char name[] = "busyworkaround";
  memcpy(address.sun_path + 1, name, sizeof name - 1);
  const socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + sizeof name);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd == -1 || connect(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      send(fd, "off", 3, MSG_NOSIGNAL) != 3 || shutdown(fd, SHUT_WR) != 0) {
    return 1;
  }
  char buffer[4096];
  const ssize_t count = read(fd, buffer, sizeof buffer);
  close(fd);
  if (count < 0) {
    return 1;
  }
  return write(1, buffer, static_cast<size_t>(count)) == count ? 0 : 1;
}
