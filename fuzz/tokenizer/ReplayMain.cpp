// Feeds every file of the corpus directories on the command line to the fuzz entry once,
// so that a build without libFuzzer still runs the seed corpus as a test.
#include <stddef.h>
#include <stdint.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: " << argv[0] << " CORPUS_DIR...\n";
    return 2;
  }
  size_t count = 0;
  try {
    for (int i = 1; i < argc; ++i) {
      for (const auto& entry : std::filesystem::directory_iterator(argv[i])) {
        if (!entry.is_regular_file()) {
          continue;
        }
        std::ifstream file(entry.path(), std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(file)),
                                      std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        ++count;
      }
    }
  } catch (const std::exception& e) {
    std::cerr << "replay failed: " << e.what() << "\n";
    return 1;
  }
  std::cout << "replayed " << count << " inputs\n";
  return count > 0 ? 0 : 1;
}
