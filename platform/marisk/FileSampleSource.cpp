#include "platform/marisk/FileSampleSource.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <stdexcept>

#include "framework/GetErrorDescription.h"
#include "framework/RetryOnEintr.h"

namespace Corvane::Marisk {

using TalisFramework::GetErrorDescription;
using TalisFramework::RetryOnEintr;

FileSampleSource::FileSampleSource(const std::string& filePath) : path(filePath) {
  fd = RetryOnEintr([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); });
  if (fd < 0) {
    const int error = errno;
    throw std::runtime_error("cannot open '" + path + "': " + GetErrorDescription(error));
  }
}

FileSampleSource::~FileSampleSource() {
  ::close(fd);
}

bool FileSampleSource::Read(std::string& bytes) {
  char buffer[4096];
  const ssize_t count = RetryOnEintr([&] { return ::read(fd, buffer, sizeof buffer); });
  if (count < 0) {
    const int error = errno;
    throw std::runtime_error("cannot read '" + path + "': " + GetErrorDescription(error));
  }
  bytes.assign(buffer, static_cast<std::size_t>(count));
  return count > 0;
}

}  // namespace Corvane::Marisk
