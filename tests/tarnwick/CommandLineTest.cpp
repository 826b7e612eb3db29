#include "frontend/CommandLine.h"

#include <gtest/gtest.h>

#include "RecordingEnv.h"

namespace tarnwick::test {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// Shell words (none: the text is typed as it stands), the argument text built from them, and its options. (The
// end-to-end runs give the program words such as "-i", "-", "/i:/abs/path" and "--help".)
TEST(CommandLine, BuildsTheArgumentTextFromShellWordsAndTokenisesIt) {
  const struct {
    Lines words;
    std::string text;
    Pairs options;
  } cases[] = {
      {{}, "", {}},
      {{}, "/i:nodes.csv /o:\"my results.csv\"", {{"i", "nodes.csv"}, {"o", "my results.csv"}}},
      {{}, "/i nodes.csv", {{"i", "nodes.csv"}}},
      {{}, "/I:a/O:b", {{"i", "a"}, {"o", "b"}}},
      {{}, "-i\tx.csv", {{"i", "x.csv"}}},
      {{}, "/i:C:\\data\\nodes.csv", {{"i", "C"}}},
      {{}, "/i:\"C:\\my-data\\n.csv\"", {{"i", "C:\\my-data\\n.csv"}}},
      {{}, "stray /e", {{"e", ""}}},
      {{"/i", "my nodes.csv"}, "/i \"my nodes.csv\"", {{"i", "my nodes.csv"}}},
      {{"/i:a.csv", "extra", "/o:b.csv"}, "/i:\"a.csv\" \"extra\" /o:\"b.csv\"", {{"i", "a.csv"}, {"o", "extrab.csv"}}},
      {{"/o:say\"hi\""}, "/o:say\"hi\"", {{"o", "sayhi"}}},
      {{"/e", "/I:x"}, "/e /I:\"x\"", {{"e", ""}, {"i", "x"}}},
      // A "/" word is options only when its first part is an option name; "-" alone is a value.
      {{"-i", "/srv/in/nodes.csv"}, "-i \"/srv/in/nodes.csv\"", {{"i", "/srv/in/nodes.csv"}}},
      {{"/x", "/e", "/srv/out/n.csv"}, "\"/x\" /e \"/srv/out/n.csv\"", {{"e", "/srv/out/n.csv"}}},
      {{"-i", "-", "/E/o"}, "-i \"-\" /E/o", {{"i", "-"}, {"e", ""}, {"o", ""}}},
      // GNU words, the names that share one key, and names the program does not know.
      {{"--version", "-H"}, "/version -H", {{"version", ""}, {"help", ""}}},
      {{"/?", "--Bad", "-X"}, "/? --Bad -X", {{"help", ""}, {"bad", ""}, {"x", ""}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.words.empty() ? c.text : buildArgumentText(c.words), c.text);
    const Options options = parseCommandLine(c.text);
    EXPECT_EQ(Pairs(options.begin(), options.end()), c.options) << c.text;
  }
}

class DuplicateOptionTest : public ProgramTest {};

// At a terminal the box waits for Enter before the process ends with 2 (the box itself is RunSequenceTest's).
// Looking for --help and --version beforehand keeps the first value quietly.
TEST_F(DuplicateOptionTest, ShowsTheBoxAndEndsTheProcess) {
  const Options scanned = scanCommandLine("/i:a.csv /I:b.csv -h /?");
  EXPECT_EQ(Pairs(scanned.begin(), scanned.end()), (Pairs{{"i", "a.csv"}, {"help", ""}}));
  EXPECT_EQ(env.err, "");
  env.interactive = true;
  try {
    parseCommandLine("/i:a.csv /I:b.csv");
    ADD_FAILURE() << "the process went on";
  } catch (const ProcessEnded& ended) {
    EXPECT_EQ(ended.status, 2);
  }
  EXPECT_TRUE(env.err.ends_with("try again.\r\nPress Enter to close.\r\n")) << env.err;
  EXPECT_EQ(env.waits, 1);
  EXPECT_EQ(env.out, "");
}

}  // namespace
}  // namespace tarnwick::test
