#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testing/ChildProcess.h"
#include "testing/ScopedTempDir.h"

namespace {

using Corvane::Testing::ChildProcess;
using Corvane::Testing::ScopedTempDir;

const std::string kRunner = LIBRUNNER_PATH;
const std::string kEntries = RUNNER_ENTRIES_PATH;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
  std::string loaderTrace;  // the dynamic loader's file events for this run
};

// Runs librunner to its end with the loader tracing library loads and unloads into a
// file of its own, so that standard error holds only what librunner writes.
Outcome RunRunner(const std::vector<std::string>& arguments,
                  std::vector<std::string> extraEnv = {}) {
  ScopedTempDir traceDir("ldtrace");
  extraEnv.push_back("LD_DEBUG=files");
  extraEnv.push_back("LD_DEBUG_OUTPUT=" + traceDir.File("trace"));
  ChildProcess::Options options;
  options.extraEnv = extraEnv;
  std::vector<std::string> argv{kRunner};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  ChildProcess child(argv, options);
  Outcome outcome;
  if (!child.Wait(20000)) {
    ADD_FAILURE() << "librunner did not end";
    return outcome;
  }
  outcome.status = child.ExitStatus();
  outcome.out = child.Output();
  outcome.err = child.ErrorOutput();
  std::ifstream trace(traceDir.File("trace." + std::to_string(child.Pid())));
  std::ostringstream text;
  text << trace.rdbuf();
  outcome.loaderTrace = text.str();
  return outcome;
}

bool Loaded(const Outcome& outcome) {
  return outcome.loaderTrace.find("file=" + kEntries + " [0];  dynamically loaded") !=
         std::string::npos;
}

// True when the library was unmapped by dlclose; at exit the loader only runs the
// finalisers of libraries still open and never destroys their link maps.
bool Unloaded(const Outcome& outcome) {
  return outcome.loaderTrace.find("file=" + kEntries + " [0];  destroying link map") !=
         std::string::npos;
}

TEST(LibRunnerTest, TooFewArgumentsPrintUsageWithoutLoading) {
  const std::vector<std::vector<std::string>> cases{{}, {kEntries}};
  for (const auto& arguments : cases) {
    SCOPED_TRACE(arguments.size());
    const Outcome outcome = RunRunner(arguments);
    EXPECT_EQ(1, outcome.status);
    EXPECT_EQ("Usage: " + kRunner + " shared-lib-name entry-point {...args...}\n", outcome.err);
    EXPECT_EQ("", outcome.out);
    EXPECT_NE("", outcome.loaderTrace);
    EXPECT_FALSE(Loaded(outcome));
  }
}

TEST(LibRunnerTest, EntryReceivesLibraryNameAndArgumentsUnchanged) {
  const std::string directory = kEntries.substr(0, kEntries.rfind('/'));
  const std::string bareName = kEntries.substr(kEntries.rfind('/') + 1);
  struct Case {
    std::string library;
    std::vector<std::string> arguments;
    std::string expected;
  };
  const Case cases[] = {
      {kEntries, {}, "argc=1\nargv[0]=" + kEntries + "\nargv[argc]=null\n"},
      {kEntries,
       {"a", "b"},
       "argc=3\nargv[0]=" + kEntries + "\nargv[1]=a\nargv[2]=b\nargv[argc]=null\n"},
      // A name without a slash is found by the loader's search path and still passed on
      // as typed; empty and blank-holding arguments keep their place.
      {bareName,
       {"two words", ""},
       "argc=3\nargv[0]=" + bareName + "\nargv[1]=two words\nargv[2]=\nargv[argc]=null\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    std::vector<std::string> arguments{c.library, "PrintArguments"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const Outcome outcome = RunRunner(arguments, {"LD_LIBRARY_PATH=" + directory});
    EXPECT_EQ(0, outcome.status);
    EXPECT_EQ(c.expected, outcome.out);
    EXPECT_EQ("", outcome.err);
    EXPECT_TRUE(Unloaded(outcome));
  }
}

TEST(LibRunnerTest, ReturnValueBecomesExitStatus) {
  const Outcome outcome = RunRunner({kEntries, "ReturnSeven"});
  EXPECT_EQ(7, outcome.status);
  EXPECT_EQ("", outcome.err);
  EXPECT_TRUE(Unloaded(outcome));
}

TEST(LibRunnerTest, EscapingExceptionIsOneLineAndStatusOne) {
  struct Case {
    const char* entry;
    std::string report;
  };
  const Case cases[] = {
      {"ThrowStandard", "St12out_of_range: sample index 12 past the end"},
      {"ThrowInteger", "unknown exception"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    const Outcome outcome = RunRunner({kEntries, c.entry});
    EXPECT_EQ(1, outcome.status);
    EXPECT_EQ(kRunner + "(" + kEntries + "," + c.entry + ") caught " + c.report + "\n",
              outcome.err);
    EXPECT_TRUE(Unloaded(outcome));
  }
}

TEST(LibRunnerTest, MissingEntryPointReportsLoaderMessageAndCloses) {
  const Outcome outcome = RunRunner({kEntries, "NoSuchEntry"});
  EXPECT_EQ(1, outcome.status);
  EXPECT_EQ(kRunner + ": " + kEntries + ": undefined symbol: NoSuchEntry\n", outcome.err);
  EXPECT_TRUE(Unloaded(outcome));
}

TEST(LibRunnerTest, MissingLibraryReportsLoaderMessage) {
  const std::string missing = "/nonexistent/libNoSuchLibrary.so";
  const Outcome outcome = RunRunner({missing, "PrintArguments"});
  EXPECT_EQ(1, outcome.status);
  EXPECT_EQ(0u, outcome.err.find(kRunner + ": " + missing + ": ")) << outcome.err;
  EXPECT_NE(std::string::npos, outcome.err.find("No such file or directory")) << outcome.err;
  EXPECT_EQ(outcome.err.size() - 1, outcome.err.find('\n')) << outcome.err;
  EXPECT_EQ("", outcome.out);
}

}  // namespace
