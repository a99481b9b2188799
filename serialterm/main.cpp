#include <string>
#include <vector>

#include "serialterm/Program.h"

int main(int argc, char** argv) {
  int status = 0;
  {
    Program program(std::vector<std::string>(argv, argv + argc));
    status = program.main();
  }
  return status;
}
