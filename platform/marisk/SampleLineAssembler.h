#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace Corvane::Marisk {

// Cuts the byte stream of an ECO sensor into sample lines. A line ends at a carriage
// return, a line feed or both; the end marks are not part of the line, and lines that
// hold nothing but blanks are no samples and are skipped. A line that grows past
// kMaxLineBytes without an end is garbage (a wrong baud rate, a stuck sender): it is
// dropped up to its end and counted, so memory stays bounded whatever arrives.
// Not thread-safe.
class SampleLineAssembler {
 public:
  static constexpr std::size_t kMaxLineBytes = 4096;

  // Appends bytes and returns the sample lines they complete, oldest first.
  std::vector<std::string> Append(const char* data, std::size_t size);
  // Ends the stream: returns the unfinished last line (empty when there is none or
  // it is blank, or when it was being dropped) and starts afresh.
  std::string Finish();
  // Lines dropped for being too long since construction.
  std::size_t DroppedLines() const { return droppedLines; }

 private:
  std::string pending;
  bool dropping = false;
  std::size_t droppedLines = 0;
};

}  // namespace Corvane::Marisk
