#pragma once

#include <string>

namespace Corvane::Testing {

// A fresh directory under $TMPDIR (or /tmp), removed with everything in it when the
// object is destroyed. Throws std::runtime_error when the directory cannot be made.
class ScopedTempDir {
 public:
  explicit ScopedTempDir(const std::string& prefix = "corvane-test");
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  const std::string& Path() const { return path; }
  // Path() + "/" + name.
  std::string File(const std::string& name) const { return path + "/" + name; }

 private:
  std::string path;
};

}  // namespace Corvane::Testing
