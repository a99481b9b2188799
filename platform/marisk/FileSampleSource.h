#pragma once

#include <string>

#include "platform/marisk/SampleSource.h"

namespace Corvane::Marisk {

// Sample lines stored in a file (or any other stream that is not a terminal), read as
// they stand. The file's end completes its last line.
class FileSampleSource : public SampleSource {
 public:
  // Throws std::runtime_error naming the path when it cannot be opened.
  explicit FileSampleSource(const std::string& filePath);
  ~FileSampleSource() override;
  FileSampleSource(const FileSampleSource&) = delete;
  FileSampleSource& operator=(const FileSampleSource&) = delete;

  bool Read(std::string& bytes) override;
  bool EndCompletesLine() const override { return true; }

 private:
  std::string path;
  int fd = -1;
};

}  // namespace Corvane::Marisk
