// Fuzz entry for SpecimenSettings::Load over arbitrary file contents. Besides crashes and
// sanitizer reports it aborts when:
//  - Load lets anything but a standard exception escape;
//  - a file that fails to load has changed (only an empty file is ever written);
//  - settings that loaded do not survive saving and loading again unchanged (the two
//    saved documents must be byte-for-byte equal).
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <exception>
#include <fstream>
#include <string>

#include "specimen/SpecimenSettings.h"

namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    fprintf(stderr, "settings property failed: %s\n", what);
    abort();
  }
}

// The directory's path for the exit handler, which may run after static strings are gone.
char removeAtExit[4096];

void RemoveWorkDir() {
  for (const char* name : {"/Specimen-config.xml", "/first.xml", "/second.xml"}) {
    char path[sizeof removeAtExit + 32];
    snprintf(path, sizeof path, "%s%s", removeAtExit, name);
    unlink(path);
  }
  rmdir(removeAtExit);
}

// A private directory for the whole run, removed at exit; the fuzzer reuses three files
// in it.
const std::string& WorkDir() {
  static const std::string dir = [] {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                          "/fuzz-settings-XXXXXX";
    Check(mkdtemp(&pattern[0]) != nullptr, "cannot make a temporary directory");
    snprintf(removeAtExit, sizeof removeAtExit, "%s", pattern.c_str());
    atexit(RemoveWorkDir);
    return pattern;
  }();
  return dir;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  Check(static_cast<bool>(file), "cannot write the input file");
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::string text;
  char buffer[4096];
  while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
    text.append(buffer, static_cast<std::size_t>(file.gcount()));
  }
  return text;
}

// Loads `path`; true on success, false when Load refused it with a standard exception.
bool LoadChecked(SpecimenSettings& settings, const std::string& path) {
  try {
    settings.Load(path);
    return true;
  } catch (const std::exception&) {
    return false;
  } catch (...) {
    Check(false, "Load threw something that is not a std::exception");
  }
  return false;
}

void CheckRoundTrip(const SpecimenSettings& loaded) {
  const std::string first = WorkDir() + "/first.xml";
  const std::string second = WorkDir() + "/second.xml";
  loaded.Save(first);
  SpecimenSettings again;
  Check(LoadChecked(again, first), "a saved document does not load");
  again.Save(second);
  Check(ReadFile(first) == ReadFile(second), "saving, loading and saving again changes the file");
}

}  // namespace

// The archive library (Boost 1.74, basic_xml_iarchive::load_end) checks an end tag by
// reading the expected name at the index of the parsed name's length, and then compares
// as many bytes: an end tag longer than the expected one makes it read past the end of
// that name's string literal before it throws its mismatch exception. The fault is in
// the library, not ours, and the file is still refused; with strict_memcmp=0 the
// sanitizer checks a comparison only up to the first differing byte, so the fuzzer can go
// on looking for faults of our own. Seed "long_end_tag.xml" is such a file.
extern "C" const char* __asan_default_options() { return "strict_memcmp=0"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string path = WorkDir() + "/Specimen-config.xml";
  WriteFile(path, input);
  SpecimenSettings settings;
  if (LoadChecked(settings, path)) {
    CheckRoundTrip(settings);
  } else {
    Check(!input.empty(), "an empty file does not load");
    Check(ReadFile(path) == input, "a file that failed to load was changed");
  }
  return 0;
}
