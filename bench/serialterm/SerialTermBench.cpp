// Measures serialterm between two pseudo-terminals (its console and its port):
//   throughput  a burst written to the port until it has all reached the console, in MiB/s;
//   key delay   a key typed on the console until its byte can be read at the port, in us.
// Each is measured against cat joining the same two pseudo-terminals in the same run.
// Usage: serialterm_bench [BURST_BYTES [KEYS]]   (defaults: 1 MiB and 500 keys)

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kCapMs = 60000;
const std::string kPrompt = "cts dsr dcd> ";  // a pseudo-terminal has no modem lines
constexpr int kRepetitions = 5;

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error(what + (errno != 0 ? std::string(": ") + strerror(errno) : ""));
}

struct Pty {
  int master = -1;
  int slave = -1;
  std::string path;

  Pty() {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (master == -1 || grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name, sizeof name) != 0) {
      Fail("posix_openpt");
    }
    path = name;
    slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave == -1) {
      Fail("open " + path);
    }
    termios settings{};
    tcgetattr(slave, &settings);
    cfmakeraw(&settings);
    tcsetattr(slave, TCSANOW, &settings);
    fcntl(master, F_SETFL, O_NONBLOCK);
  }
  ~Pty() {
    close(master);
    close(slave);
  }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;
};

class Child {
 public:
  Child(const std::vector<std::string>& argv, int in, int out) {
    std::vector<char*> args;
    for (const std::string& a : argv) {
      args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    pid = fork();
    if (pid == -1) {
      Fail("fork");
    }
    if (pid == 0) {
      setsid();
      dup2(in, 0);
      dup2(out, 1);
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 2);
      execvp(args[0], args.data());
      _exit(127);
    }
  }
  // Waits for the child to end by itself, or ends it after `graceMs`.
  void Finish(int graceMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(graceMs);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
      if (Clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        break;
      }
      usleep(2000);
    }
    pid = -1;
  }
  ~Child() {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

 private:
  pid_t pid = -1;
};

// Reads from `fd` until the text read contains `text`.
void ReadUntil(int fd, const std::string& text) {
  std::string seen;
  const auto deadline = Clock::now() + std::chrono::milliseconds(kCapMs);
  while (seen.find(text) == std::string::npos) {
    if (Clock::now() > deadline) {
      throw std::runtime_error("timed out waiting for '" + text + "'");
    }
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) > 0) {
      char buffer[4096];
      const ssize_t n = read(fd, buffer, sizeof buffer);
      if (n > 0) {
        seen.append(buffer, static_cast<size_t>(n));
      }
    }
  }
}

void WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n == -1 && errno != EAGAIN && errno != EINTR) {
      Fail("write");
    } else {
      pollfd p{fd, POLLOUT, 0};
      poll(&p, 1, 100);
    }
  }
}

// Writes `payload` to `in` while reading `out` until `expected` bytes arrived there.
// Returns the seconds it took.
double Pump(int in, int out, const std::string& payload, size_t expected) {
  size_t written = 0;
  size_t arrived = 0;
  char buffer[65536];
  const auto start = Clock::now();
  const auto deadline = start + std::chrono::milliseconds(kCapMs);
  while (arrived < expected) {
    if (Clock::now() > deadline) {
      throw std::runtime_error("burst timed out after " + std::to_string(arrived) + " of " +
                               std::to_string(expected) + " bytes");
    }
    pollfd fds[2] = {{out, POLLIN, 0},
                     {in, static_cast<short>(written < payload.size() ? POLLOUT : 0), 0}};
    poll(fds, 2, 100);
    if (fds[1].revents & POLLOUT) {
      const ssize_t n = write(in, payload.data() + written, payload.size() - written);
      if (n > 0) {
        written += static_cast<size_t>(n);
      }
    }
    if (fds[0].revents & POLLIN) {
      const ssize_t n = read(out, buffer, sizeof buffer);
      if (n > 0) {
        arrived += static_cast<size_t>(n);
      }
    }
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Types `keys` keys on `console` one at a time and returns, for each, the microseconds
// until its byte could be read at `port`. `echoes` (or -1) is drained as it goes.
std::vector<double> KeyDelays(int console, int port, int echoes, int keys) {
  std::vector<double> delays;
  char buffer[4096];
  for (int i = 0; i < keys; ++i) {
    const char key = static_cast<char>('a' + i % 26);
    const auto start = Clock::now();
    WriteAll(console, std::string(1, key));
    pollfd p{port, POLLIN, 0};
    if (poll(&p, 1, kCapMs) != 1) {
      throw std::runtime_error("key " + std::to_string(i) + " never reached the port");
    }
    const auto end = Clock::now();
    while (read(port, buffer, sizeof buffer) > 0) {
    }
    if (echoes >= 0) {
      while (read(echoes, buffer, sizeof buffer) > 0) {
      }
    }
    delays.push_back(std::chrono::duration<double, std::micro>(end - start).count());
  }
  return delays;
}

double Percentile(std::vector<double> values, double fraction) {
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(fraction * static_cast<double>(values.size() - 1))];
}

// Printable text with a line feed ending every `lineLength` bytes (none when 0).
std::string Payload(size_t bytes, size_t lineLength, size_t* lineFeeds) {
  std::string payload(bytes, 'x');
  *lineFeeds = 0;
  for (size_t i = 0; i < bytes; ++i) {
    payload[i] = static_cast<char>('!' + i % 90);
    if (lineLength > 0 && i % lineLength == lineLength - 1) {
      payload[i] = '\n';
      ++*lineFeeds;
    }
  }
  return payload;
}

double SerialTermBurst(const std::string& payload, size_t lineFeeds) {
  Pty console;
  Pty port;
  Child program({SERIALTERM_PATH, port.path}, console.slave, console.slave);
  ReadUntil(console.master, kPrompt);
  const double seconds =
      Pump(port.master, console.master, payload, payload.size() + lineFeeds * kPrompt.size());
  WriteAll(console.master, "\x1b");
  program.Finish(5000);
  return seconds;
}

double CatBurst(const std::string& payload) {
  Pty console;
  Pty port;
  Child cat({"cat"}, port.slave, console.slave);
  WriteAll(port.master, "w");
  ReadUntil(console.master, "w");
  const double seconds = Pump(port.master, console.master, payload, payload.size());
  cat.Finish(0);
  return seconds;
}

std::vector<double> SerialTermKeys(int keys) {
  Pty console;
  Pty port;
  Child program({SERIALTERM_PATH, port.path}, console.slave, console.slave);
  ReadUntil(console.master, kPrompt);
  std::vector<double> delays = KeyDelays(console.master, port.master, console.master, keys);
  WriteAll(console.master, "\x1b");
  program.Finish(5000);
  return delays;
}

std::vector<double> CatKeys(int keys) {
  Pty console;
  Pty port;
  Child cat({"cat"}, console.slave, port.slave);
  WriteAll(console.master, "w");
  ReadUntil(port.master, "w");
  std::vector<double> delays = KeyDelays(console.master, port.master, -1, keys);
  cat.Finish(0);
  return delays;
}

double Median(std::vector<double> values) {
  return Percentile(std::move(values), 0.5);
}

}  // namespace

int main(int argc, char** argv) {
  const size_t burst = argc > 1 ? strtoul(argv[1], nullptr, 10) : 1u << 20;
  const int keys = argc > 2 ? atoi(argv[2]) : 500;
  try {
    const double mib = 1024.0 * 1024.0;
    // Text lines (each costs the receiver a prompt: three modem-line queries and a write),
    // then one unbroken stream.
    for (size_t lineLength : {80u, 0u}) {
      size_t lineFeeds = 0;
      const std::string payload = Payload(burst, lineLength, &lineFeeds);
      std::vector<double> serialterm;
      std::vector<double> cat;
      for (int i = 0; i < kRepetitions; ++i) {
        serialterm.push_back(static_cast<double>(burst) / SerialTermBurst(payload, lineFeeds));
        cat.push_back(static_cast<double>(burst) / CatBurst(payload));
      }
      std::printf("port to console, %zu bytes in %zu lines, median of %d bursts:\n", burst,
                  lineFeeds, kRepetitions);
      std::printf("  serialterm  %8.2f MiB/s\n", Median(serialterm) / mib);
      std::printf("  cat         %8.2f MiB/s\n", Median(cat) / mib);
    }

    const std::vector<double> termKeys = SerialTermKeys(keys);
    const std::vector<double> catKeys = CatKeys(keys);
    std::printf("key to port, %d keys:\n", keys);
    std::printf("  serialterm  median %7.1f us  p99 %7.1f us\n", Median(termKeys),
                Percentile(termKeys, 0.99));
    std::printf("  cat         median %7.1f us  p99 %7.1f us\n", Median(catKeys),
                Percentile(catKeys, 0.99));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "serialterm_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
