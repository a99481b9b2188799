#include <signal.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "testing/ChildProcess.h"
#include "testing/EventService.h"
#include "testing/NamingService.h"
#include "testing/ScopedTempDir.h"

namespace Corvane::Testing {
namespace {

TEST(ChildProcessTest, CapturesOutputAndStatus) {
  ChildProcess child({"sh", "-c", "echo out; echo err >&2; exit 3"});
  ASSERT_TRUE(child.Wait(10000));
  EXPECT_EQ(3, child.ExitStatus());
  EXPECT_EQ("out\n", child.Output());
  EXPECT_EQ("err\n", child.ErrorOutput());
}

TEST(ChildProcessTest, StopEndsTheWholeGroup) {
  ChildProcess child({"sh", "-c", "sleep 60 & echo started; wait"});
  ASSERT_TRUE(child.WaitForOutput("started", 10000));
  child.Stop(2000);
  EXPECT_EQ(SIGTERM, child.TermSignal());
}

TEST(ChildProcessTest, ReportsAProgramThatCannotStart) {
  EXPECT_THROW(ChildProcess({"/nonexistent/program"}), std::runtime_error);
}

TEST(ChildProcessTest, FeedsStandardInput) {
  ChildProcess::Options options;
  options.stdinPipe = true;
  ChildProcess child({"cat"}, options);
  child.WriteStdin("hello\n");
  child.CloseStdin();
  ASSERT_TRUE(child.Wait(10000));
  EXPECT_EQ("hello\n", child.Output());
}

TEST(ScopedTempDirTest, RemovesItsTree) {
  std::string path;
  {
    ScopedTempDir dir;
    path = dir.Path();
    int status = -1;
    RunProgram({"sh", "-c", "mkdir -p \"$0/a/b\" && touch \"$0/a/b/c\"", path}, &status);
    ASSERT_EQ(0, status);
  }
  struct stat info;
  EXPECT_NE(0, stat(path.c_str(), &info));
}

TEST(CorbaServicesTest, NamingAndEventServicesComeUpAndMakeChannels) {
  NamingService naming;
  EventService events(naming);
  events.CreateChannel("TestChannel");
  int status = -1;
  std::string listing = naming.NameClient("list", "", &status);
  EXPECT_EQ(0, status);
  EXPECT_NE(std::string::npos, listing.find("TestChannel"));
  EXPECT_NE(std::string::npos, listing.find("EventChannelFactory"));
}

}  // namespace
}  // namespace Corvane::Testing
