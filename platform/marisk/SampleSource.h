#pragma once

#include <string>

namespace Corvane::Marisk {

// Where the sensor's bytes come from.
class SampleSource {
 public:
  virtual ~SampleSource() = default;

  // Waits for the next bytes and puts them in `bytes` (replacing what it held); false
  // at the end of input. Throws std::runtime_error when the source fails.
  virtual bool Read(std::string& bytes) = 0;
  // Whether the end of input also ends a last line that arrived without a line end.
  virtual bool EndCompletesLine() const = 0;
};

}  // namespace Corvane::Marisk
