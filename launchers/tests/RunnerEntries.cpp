// Entry points for the librunner tests, loaded at run time.

#include <cstdio>
#include <stdexcept>

extern "C" {

// Prints the count and every string of the vector, then whether the vector ends in a
// null pointer.
int PrintArguments(int argc, char** argv) {
  std::printf("argc=%d\n", argc);
  for (int i = 0; i < argc; ++i) {
    std::printf("argv[%d]=%s\n", i, argv[i]);
  }
  std::printf("argv[argc]=%s\n", argv[argc] == nullptr ? "null" : "set");
  return 0;
}

int ReturnSeven(int, char**) {
  return 7;
}

int ThrowStandard(int, char**) {
  throw std::out_of_range("sample index 12 past the end");
}

int ThrowInteger(int, char**) {
  throw 42;
}

}  // extern "C"
