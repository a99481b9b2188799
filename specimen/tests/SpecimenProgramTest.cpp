// The driver program's start-up paths, self-test and shutdown, with the real binary.
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "specimen/tests/DriverRig.h"
#include "testing/ChildProcess.h"
#include "testing/FreeTcpPort.h"
#include "testing/ScopedTempDir.h"

namespace {

using Corvane::Testing::ChildProcess;
using Corvane::Testing::ScopedTempDir;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

ChildProcess::Options InDir(const ScopedTempDir& dir) {
  ChildProcess::Options options;
  options.workDir = dir.Path();
  return options;
}

TEST(SpecimenProgramTest, WithoutSettingsFileReportsTheStatFailureAndExitsOne) {
  // RUNTHROWTESTX is not the self-test word: the driver starts and needs its settings.
  for (const char* argument : {"-ORBendPoint", "RUNTHROWTESTX"}) {
    SCOPED_TRACE(argument);
    ScopedTempDir dir;
    std::vector<std::string> argv = {SPECIMEN_BINARY, argument};
    if (std::string(argument) == "-ORBendPoint") {
      argv.push_back("giop:tcp:127.0.0.1:");
    }
    ChildProcess driver(argv, InDir(dir));
    ASSERT_TRUE(driver.Wait(30000));
    EXPECT_EQ(1, driver.ExitStatus());
    EXPECT_EQ("Caught St16invalid_argument: SpecimenSettings::Load: could not stat "
              "'Specimen-config.xml' (errno=2 'No such file or directory')\n",
              driver.ErrorOutput());
    EXPECT_EQ(std::string::npos, driver.Output().find("advertised"));
  }
}

TEST(SpecimenProgramTest, SelfTestWritesNumberedLinesWithoutStartingTheDriver) {
  ScopedTempDir dir;
  ChildProcess selfTest({SPECIMEN_BINARY, "runThrowTest"}, InDir(dir));
  ASSERT_TRUE(selfTest.WaitForOutput("count=3 ", 30000));
  selfTest.Stop();
  const std::string output = selfTest.Output();
  EXPECT_EQ(0u, output.find("count=1 THROWBAD ONE TWO THREE FOUR FIVE \n"
                            "count=2 THROWBAD ONE TWO THREE FOUR FIVE \n"))
      << output.substr(0, 200);
  EXPECT_EQ("", selfTest.ErrorOutput());
}

// An empty settings file is filled with the defaults; the default driver has no name, no
// naming service and no channel, logs its reference and still obeys SHUTDOWN.
TEST(SpecimenProgramTest, EmptySettingsFileRunsOnDefaultsUntilShutdown) {
  ScopedTempDir dir;
  const std::string config = dir.File("Specimen-config.xml");
  std::ofstream(config).close();
  ChildProcess driver(
      {SPECIMEN_BINARY, "-ORBendPoint",
       "giop:tcp:127.0.0.1:" + std::to_string(Corvane::Testing::FreeTcpPort())},
      InDir(dir));
  ASSERT_TRUE(driver.WaitForOutput("IOR:", 30000)) << driver.Output() << driver.ErrorOutput();
  const std::string log = driver.Output();
  const std::string::size_type start = log.find("IOR:");
  const std::string ior = log.substr(start, log.find_first_not_of("0123456789abcdef", start + 4) - start);
  ASSERT_GT(ior.size(), 4u) << log;
  EXPECT_NE(std::string::npos, ReadFile(config).find("<serverName></serverName>"));

  int status = -1;
  const std::string reply = Corvane::Testing::RunProgram(
      {SPECIMENCTL_BINARY, "send", ior, "shutdown"}, &status, 60000);
  EXPECT_EQ(0, status);
  EXPECT_EQ(0u, reply.find("result: 'Time=")) << reply;
  ASSERT_TRUE(driver.Wait(30000));
  EXPECT_EQ(0, driver.ExitStatus()) << driver.ErrorOutput();
  EXPECT_NE(std::string::npos, driver.Output().find(" (queueing shutdown) returning result='Time="));
}

}  // namespace
