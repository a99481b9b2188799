#include "platform/marisk/SampleLineAssembler.h"

#include <algorithm>

namespace Corvane::Marisk {

namespace {

bool IsBlank(const std::string& line) {
  return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; });
}

}  // namespace

std::vector<std::string> SampleLineAssembler::Append(const char* data, std::size_t size) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < size; ++i) {
    const char c = data[i];
    if (c == '\r' || c == '\n') {
      if (!dropping && !IsBlank(pending)) {
        lines.push_back(pending);
      }
      pending.clear();
      dropping = false;
    } else if (dropping) {
      continue;
    } else if (pending.size() == kMaxLineBytes) {
      pending.clear();
      dropping = true;
      ++droppedLines;
    } else {
      pending.push_back(c);
    }
  }
  return lines;
}

std::string SampleLineAssembler::Finish() {
  std::string last;
  if (!dropping && !IsBlank(pending)) {
    last.swap(pending);
  }
  pending.clear();
  dropping = false;
  return last;
}

}  // namespace Corvane::Marisk
