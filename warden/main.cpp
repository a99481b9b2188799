#include <signal.h>

#include <string>
#include <vector>

#include "warden/Program.h"

int main(int argc, char** argv) {
  // A reader of standard output that has gone must not end a running monitor; the
  // channel's own writes never raise SIGPIPE.
  ::signal(SIGPIPE, SIG_IGN);
  int status = 0;
  {
    Program program;
    status = program.Run(std::vector<std::string>(argv + 1, argv + argc));
  }
  return status;
}
