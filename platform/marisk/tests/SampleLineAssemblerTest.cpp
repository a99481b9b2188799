#include "platform/marisk/SampleLineAssembler.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Corvane::Marisk::SampleLineAssembler;

TEST(SampleLineAssemblerTest, CutsLinesAtAnyLineEnd) {
  struct Case {
    const char* name;
    std::vector<std::string> chunks;
    std::vector<std::string> lines;
    std::string rest;
  };
  const Case cases[] = {
      {"line feed", {"695\t700\t4130\n"}, {"695\t700\t4130"}, ""},
      {"mixed ends", {"a\r\nb\rc\n"}, {"a", "b", "c"}, ""},
      {"split across reads", {"12.3,4", "5.6\r", "\n7"}, {"12.3,45.6"}, "7"},
      {"blank lines skipped", {"\n\r\n  \t\r\nx\n \t"}, {"x"}, ""},
      {"no line end yet", {"first\nsecond"}, {"first"}, "second"},
      {"nothing", {""}, {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SampleLineAssembler assembler;
    std::vector<std::string> lines;
    for (const std::string& chunk : c.chunks) {
      for (const std::string& line : assembler.Append(chunk.data(), chunk.size())) {
        lines.push_back(line);
      }
    }
    EXPECT_EQ(c.lines, lines);
    EXPECT_EQ(c.rest, assembler.Finish());
    EXPECT_EQ("", assembler.Finish());
  }
}

TEST(SampleLineAssemblerTest, DropsOverlongLinesUpToTheirEnd) {
  const std::size_t limit = SampleLineAssembler::kMaxLineBytes;
  SampleLineAssembler assembler;
  const std::string longest(limit, 'a');
  EXPECT_EQ(std::vector<std::string>{longest},
            assembler.Append((longest + "\n").data(), limit + 1));
  EXPECT_EQ(0u, assembler.DroppedLines());

  // Garbage far past the limit, in pieces, then a good line.
  const std::string garbage(3 * limit, 'g');
  EXPECT_TRUE(assembler.Append(garbage.data(), limit + 1).empty());
  EXPECT_TRUE(assembler.Append(garbage.data(), garbage.size()).empty());
  const std::string tail = "ggg\r\nnext\n";
  EXPECT_EQ(std::vector<std::string>{"next"}, assembler.Append(tail.data(), tail.size()));
  EXPECT_EQ(1u, assembler.DroppedLines());

  // A line dropped when the input ends leaves nothing behind.
  EXPECT_TRUE(assembler.Append(garbage.data(), garbage.size()).empty());
  EXPECT_EQ("", assembler.Finish());
  EXPECT_EQ(2u, assembler.DroppedLines());
}

}  // namespace
