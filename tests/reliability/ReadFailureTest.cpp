// Input reads failing mid-import, as on a failing disk. Linux keeps reading an open file
// that is removed, so the failure is injected at the platform seam under the reader.
#include <gtest/gtest.h>

#include "e2e/NodeInput.h"
#include "frontend/StdOutput.h"
#include "logging/classLog.h"
#include "nodes/NodeSchema.h"
#include "nodes/mdlProcess.h"
#include "platform/Error.h"
#include "platform/TestSupport.h"
#include "platform/db/Recordset.h"
#include "ucQuillet.h"

namespace tarnwick::e2e {
namespace {

using platform::test::readBytes;

// A file that reads `readableLines` lines and then fails every read, also
// the look-ahead for its end, with error 75 as a read() that fails does.
class FailingInput : public platform::TextStream {
 public:
  FailingInput(std::unique_ptr<platform::TextStream> file, int readableLines)
      : file_(std::move(file)), readsLeft_(readableLines) {}

  std::string readLine() override { return readable(1).readLine(); }
  bool atEndOfStream() override { return readable(0).atEndOfStream(); }
  bool lineWasCut() const override { return file_->lineWasCut(); }
  int32_t line() const override { return file_->line(); }
  void writeLine(const std::string& text) override { file_->writeLine(text); }
  platform::TextEncoding encoding() const override { return file_->encoding(); }
  void setEncoding(platform::TextEncoding encoding) override { file_->setEncoding(encoding); }
  void close() override { file_->close(); }

 private:
  // The file, which `reads` more lines are read from; throws once the readable lines are used up.
  platform::TextStream& readable(int reads) {
    if (readsLeft_ == 0) throw platform::Error::fromNumber(platform::err::kPathFileAccess);
    readsLeft_ -= reads;
    return *file_;
  }

  std::unique_ptr<platform::TextStream> file_;
  int readsLeft_;
};

// The program in a scratch folder, console caught, input failing after the headings and three lines.
class FailingInputEnv : public platform::EnvWrapper {
 public:
  FailingInputEnv() : EnvWrapper(platform::Env::Default()) {
    platform::setEnv(this);
    resetLog();
    objects.readerControl = std::make_unique<quillet::ucQuillet>();
  }
  ~FailingInputEnv() override {
    resetLog();
    platform::setEnv(nullptr);
  }

  std::string programPath() override { return folder.path("tarnwick"); }
  std::unique_ptr<platform::TextStream> openTextFile(const std::string& path, platform::IOMode mode, bool create,
                                                     platform::TextEncoding encoding) override {
    auto file = target()->openTextFile(path, mode, create, encoding);
    if (path != input()) return file;
    return std::make_unique<FailingInput>(std::move(file), 1 + 3);
  }
  void writeStdOut(const std::string& bytes) override {
    out += bytes;
    printedInTransaction |= objects.connection.inTransaction();
  }
  [[noreturn]] void exitProcess(int status) override { throw status; }

  std::string input() const { return folder.path("nodes.csv"); }

  platform::test::TempFolder folder;
  StdOutput console;
  ProgramObjects objects{console};
  std::string out;
  bool printedInTransaction = false;  // a stalled console would then hold the write lock
};

// The lines read keep their results, the failure is shown and logged, and the summary
// follows: no line lost, none made up from a failed read. A refused add prints its
// notice only after its roll-back.
TEST(ReadFailureTest, InputFailingMidRunEndsTheImportAfterTheLinesRead) {
  FailingInputEnv env;
  env.objects.connection.setConnectionString("Data Source=Pelagor");
  env.objects.connection.open(nodeSchema());
  auto lines = mixedAdds(6);
  lines[1] = veltroLine("A", "1", "again");
  platform::test::writeBytes(env.input(), inputText(lines));
  std::string results = env.folder.path("nodes.out.csv");
  EXPECT_FALSE(importData(env.objects, env.input(), results));

  std::string expected = quotedLine(kColumns) + ",\"Result\",\"Details\"\r\n";
  for (size_t i = 0; i < 3; ++i) {
    expected += resultLine(lines[i].values(), i == 1 ? "Error" : "Successful",
                           i == 1 ? "Node with this serial number already exists in Node Table" : "") + "\r\n";
  }
  EXPECT_EQ(readBytes(results), expected);
  EXPECT_TRUE(holds(env.out, "ERROR: Cannot read " + env.input() + ".\r\n       Path/File access error\r\n"));
  EXPECT_TRUE(holds(env.out, importSummary(3, 1)));
  EXPECT_TRUE(holds(env.out, "Line: 3    SerialNo = 1\r\n    Adding Node #1\r\n      Error adding node #1 - Node with "
                             "that serial number already exists in Node Table\r\n  Processing Line: 4 "));
  EXPECT_FALSE(env.printedInTransaction);
  EXPECT_TRUE(holds(readBytes(Log().strLogFile()), "Err.Number = 75 Err.Description = Path/File access error Line: 61"));
  EXPECT_TRUE(Log().loggedError());
  platform::db::Recordset rs;
  rs.open("SELECT * FROM Node", env.objects.connection, platform::db::CursorType::Static,
          platform::db::LockType::ReadOnly);
  EXPECT_EQ(rs.recordCount(), 2);
}

}  // namespace
}  // namespace tarnwick::e2e
