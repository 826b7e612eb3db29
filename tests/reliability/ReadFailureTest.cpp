// An input file whose reads start failing half-way through an import, as on
// a failing disk. Linux keeps reading a file that is removed or made
// unreadable while it is open, so the failure is injected at the platform
// seam, under the reader and the import driver as they run in the program.
#include <gtest/gtest.h>

#include "NodeInput.h"
#include "logging/RunOutcome.h"
#include "logging/classLog.h"
#include "nodes/ProgramObjects.h"
#include "nodes/mdlProcess.h"
#include "platform/Error.h"
#include "platform/TestSupport.h"
#include "ucQuillet.h"

namespace tarnwick::reliability {
namespace {

using platform::test::readBytes;

struct ProcessEnded {
  int status;
};

// A file that reads `readableLines` lines and then fails every read, also
// the look-ahead for its end, with error 75 as a read() that fails does.
class FailingInput : public platform::TextStream {
 public:
  FailingInput(std::unique_ptr<platform::TextStream> file, int readableLines)
      : file_(std::move(file)), readsLeft_(readableLines) {}

  std::string readLine() override {
    failOnceUsedUp();
    --readsLeft_;
    return file_->readLine();
  }
  bool atEndOfStream() override {
    failOnceUsedUp();
    return file_->atEndOfStream();
  }
  int32_t line() const override { return file_->line(); }
  void writeLine(const std::string& text) override { file_->writeLine(text); }
  platform::TextEncoding encoding() const override { return file_->encoding(); }
  void setEncoding(platform::TextEncoding encoding) override { file_->setEncoding(encoding); }
  void close() override { file_->close(); }

 private:
  void failOnceUsedUp() const {
    if (readsLeft_ == 0) throw platform::Error::fromNumber(platform::err::kPathFileAccess);
  }

  std::unique_ptr<platform::TextStream> file_;
  int readsLeft_;
};

// The program in a scratch folder, its console caught, its input failing.
class FailingInputEnv : public platform::EnvWrapper {
 public:
  FailingInputEnv() : EnvWrapper(platform::Env::Default()) {}

  std::string programPath() override { return folder.path("tarnwick"); }
  std::unique_ptr<platform::TextStream> openTextFile(const std::string& path, platform::IOMode mode, bool create,
                                                     platform::TextEncoding encoding) override {
    auto file = target()->openTextFile(path, mode, create, encoding);
    if (path != input()) return file;
    return std::make_unique<FailingInput>(std::move(file), readableLines);
  }
  void writeStdOut(const std::string& bytes) override { out += bytes; }
  [[noreturn]] void exitProcess(int status) override { throw ProcessEnded{status}; }

  std::string input() const { return folder.path("nodes.csv"); }

  platform::test::TempFolder folder;
  int readableLines = 0;
  std::string out;
};

class ReadFailureTest : public ::testing::Test {
 protected:
  ReadFailureTest() {
    platform::setEnv(&env);
    resetLog();
    RunOutcome::reset();
    setReader(std::make_unique<quillet::ucQuillet>());
    connection().setConnectionString("Data Source=Pelagor");
    connection().open();
  }
  ~ReadFailureTest() override {
    setReader(nullptr);
    resetLog();
    platform::setEnv(nullptr);
  }

  size_t storedNodes() {
    platform::db::Recordset rs;
    rs.open("SELECT * FROM Node", connection(), platform::db::CursorType::Static, platform::db::LockType::ReadOnly);
    return static_cast<size_t>(rs.recordCount());
  }

  FailingInputEnv env;
};

// The lines read before the failure keep their results, the failure is shown
// and logged, and the import ends with its summary: no line is lost, and
// none is made up from a read that failed.
TEST_F(ReadFailureTest, InputFailingMidRunEndsTheImportAfterTheLinesRead) {
  auto lines = mixedAdds(6);
  platform::test::writeBytes(env.input(), inputText(lines));
  env.readableLines = 1 + 3;
  std::string results = env.folder.path("nodes.out.csv");
  RunOutcome::noteJobStarted();
  importData(env.input(), results);
  auto written = completeLines(readBytes(results));
  std::vector<std::string> expected = {quotedLine(columnNames()) + ",\"Result\",\"Details\""};
  for (size_t i = 0; i < 3; ++i) expected.push_back(resultLine(lines[i].values(), "Successful"));
  EXPECT_EQ(written, expected);
  EXPECT_NE(env.out.find("ERROR: Cannot read " + env.input() + ".\r\n       Path/File access error\r\n"),
            std::string::npos);
  EXPECT_NE(env.out.find("Total nodes effected: 3 Successful changes: 3 Errors: 0\r\n"), std::string::npos);
  EXPECT_NE(readBytes(Log().strLogFile()).find("Err.Number = 75 Err.Description = Path/File access error Line: 61"),
            std::string::npos);
  EXPECT_EQ(RunOutcome::exitStatus(), RunOutcome::kSomethingFailed);
  EXPECT_EQ(storedNodes(), 3u);
}

}  // namespace
}  // namespace tarnwick::reliability
