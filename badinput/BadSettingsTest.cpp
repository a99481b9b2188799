// What the driver's settings loader refuses, and how. A refused file is left exactly as
// it was; only an empty file is ever written (with the defaults).
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>
#include <string>

#include <boost/archive/archive_exception.hpp>
#include <gtest/gtest.h>

#include "specimen/SpecimenSettings.h"
#include "testing/ScopedTempDir.h"

namespace {

using Corvane::Testing::ScopedTempDir;

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::string text;
  char buffer[4096];
  while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
    text.append(buffer, static_cast<std::size_t>(file.gcount()));
  }
  return text;
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A complete document with the default settings, as Save writes it.
std::string DefaultDocument(const ScopedTempDir& dir) {
  const std::string path = dir.File("default.xml");
  SpecimenSettings().Save(path);
  return ReadFile(path);
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(std::string::npos, at) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

enum class Outcome { Loads, InvalidArgument, ArchiveError };

}  // namespace

// The archive library (Boost 1.74, basic_xml_iarchive::load_end) checks an end tag by
// reading the expected name at the index of the parsed name's length and then comparing
// that many bytes, so an end tag longer than the expected one makes it read past the end
// of that name's string literal before it throws its mismatch exception. The fault is the
// library's, not ours, and the file is still refused; with strict_memcmp=0 the address
// sanitizer checks a comparison only up to its first differing byte, which lies inside
// the literal. Used by sanitizer builds only.
extern "C" const char* __asan_default_options() { return "strict_memcmp=0"; }

namespace {

TEST(BadSettingsTest, MalformedFilesAreRefusedAndLeftUnchanged) {
  ScopedTempDir dir("badinput");
  const std::string good = DefaultDocument(dir);
  const std::string transceiver = "tracking_level=\"0\" version=\"2\"";
  struct Case {
    const char* name;
    std::string content;
    Outcome outcome;
  };
  const Case cases[] = {
      {"not XML at all", "hello\n", Outcome::ArchiveError},
      {"binary bytes", std::string("\0\xff\xfe<\x80", 5), Outcome::ArchiveError},
      {"truncated in the middle", good.substr(0, good.size() / 2), Outcome::ArchiveError},
      {"cut after the last element, no closing '>'",
       good.substr(0, good.rfind('>')), Outcome::ArchiveError},
      {"misnamed element", Replace(good, "<serverName></serverName>", "<serverNam></serverNam>"),
       Outcome::ArchiveError},
      {"end tag longer than its start tag",
       Replace(good, "</serverName>", "</serverNameAndMore>"), Outcome::ArchiveError},
      {"element missing", Replace(good, "<serverName></serverName>", ""),
       Outcome::ArchiveError},
      {"transceiver version above the class's",
       Replace(good, transceiver, "tracking_level=\"0\" version=\"3\""), Outcome::ArchiveError},
      {"board number that is no number", Replace(good, "<boardID>0<", "<boardID>x<"),
       Outcome::ArchiveError},
      {"container count beyond its items", Replace(good, "<count>0<", "<count>4294967295<"),
       Outcome::ArchiveError},
      {"archive signature of another kind",
       Replace(good, "serialization::archive", "serialization::other"), Outcome::ArchiveError},
      {"the default document itself", good, Outcome::Loads},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File("Specimen-config.xml");
    WriteFile(path, c.content);
    SpecimenSettings settings;
    switch (c.outcome) {
      case Outcome::Loads:
        EXPECT_NO_THROW(settings.Load(path));
        break;
      case Outcome::ArchiveError:
        // The archive library's own exceptions, all derived from std::exception.
        EXPECT_THROW(settings.Load(path), std::exception);
        EXPECT_THROW(settings.Load(path), boost::archive::archive_exception);
        break;
      case Outcome::InvalidArgument:
        EXPECT_THROW(settings.Load(path), std::invalid_argument);
        break;
    }
    EXPECT_EQ(c.content, ReadFile(path));
  }
}

TEST(BadSettingsTest, PathsThatAreNoReadableFileAreRefusedWithTheirReason) {
  ScopedTempDir dir("badinput");
  const std::string unreadable = dir.File("unreadable.xml");
  SpecimenSettings().Save(unreadable);
  ASSERT_EQ(0, ::chmod(unreadable.c_str(), 0));
  const bool privileged = ::access(unreadable.c_str(), R_OK) == 0;  // root reads anyway
  const std::string directory = dir.File("a-directory");
  ASSERT_EQ(0, ::mkdir(directory.c_str(), 0755));
  struct Case {
    std::string path;
    const char* messageStart;
  };
  const Case cases[] = {
      {dir.File("missing.xml"), "SpecimenSettings::Load: could not stat '"},
      {dir.File("missing-dir/Specimen-config.xml"), "SpecimenSettings::Load: could not stat '"},
      {"", "SpecimenSettings::Load: could not stat ''"},
      {unreadable, "SpecimenSettings::Load: could not open '"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    if (c.path == unreadable && privileged) {
      continue;
    }
    try {
      SpecimenSettings().Load(c.path);
      ADD_FAILURE() << "loaded";
    } catch (const std::invalid_argument& e) {
      EXPECT_EQ(0u, std::string(e.what()).find(c.messageStart)) << e.what();
    }
  }
  // A directory is stat-able and openable as a stream, but reading it fails: refused
  // with a standard exception, and it stays a directory.
  EXPECT_THROW(SpecimenSettings().Load(directory), std::exception);
  struct stat status = {};
  ASSERT_EQ(0, ::stat(directory.c_str(), &status));
  EXPECT_TRUE(S_ISDIR(status.st_mode));
}

TEST(BadSettingsTest, OlderTransceiverVersionsLoadWithTheirDefaults) {
  ScopedTempDir dir("badinput");
  std::string older = Replace(DefaultDocument(dir), "tracking_level=\"0\" version=\"2\"",
                              "tracking_level=\"0\" version=\"1\"");
  const std::size_t from = older.find("<displayReceivedEvents>");
  const std::size_t to = older.find("</doNotDisplayList>");
  ASSERT_NE(std::string::npos, from);
  ASSERT_NE(std::string::npos, to);
  older.erase(from, to + std::string("</doNotDisplayList>").size() - from);
  const std::string path = dir.File("Specimen-config.xml");
  WriteFile(path, older);
  SpecimenSettings settings;
  ASSERT_NO_THROW(settings.Load(path));
  EXPECT_TRUE(settings.GetEventTransceiverSettings().displayReceivedEvents);
  EXPECT_TRUE(settings.GetEventTransceiverSettings().fullyDescribeReceivedEvents);
}

}  // namespace
