#include "RecordingEnv.h"

#include <cstdlib>
#include <ctime>

namespace tarnwick::test {

namespace {

// A file that reads some lines and then fails every read, as read() does on a failing disk.
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
  platform::TextStream& readable(int reads) {
    if (readsLeft_ == 0) throw platform::Error::fromNumber(platform::err::kPathFileAccess);
    readsLeft_ -= reads;
    return *file_;
  }

  std::unique_ptr<platform::TextStream> file_;
  int readsLeft_;
};

}  // namespace

platform::TimePoint dayAt(std::chrono::seconds timeOfDay) {
  using namespace std::chrono;
  return platform::TimePoint(sys_days{year{2026} / December / 6}.time_since_epoch() + timeOfDay);
}

RecordingEnv::RecordingEnv() : EnvWrapper(platform::Env::Default()) {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
}

platform::DiskSpace RecordingEnv::diskSpace(const std::string& path) {
  if (diskFails) throw platform::Error(platform::err::kPathNotFound, "Path not found");
  return disk.total ? disk : target()->diskSpace(path);
}

std::unique_ptr<platform::TextStream> RecordingEnv::openTextFile(const std::string& path, platform::IOMode mode,
                                                                 bool create, platform::TextEncoding encoding) {
  if (filesFail) throw platform::Error::fromNumber(platform::err::kDiskFull);
  auto file = target()->openTextFile(path, mode, create, encoding);
  if (path != failingFile) return file;
  return std::make_unique<FailingInput>(std::move(file), readableLines);
}

ProgramTest::ProgramTest() {
  platform::setEnv(&env);
  resetLog();
}

ProgramTest::~ProgramTest() {
  resetLog();
  platform::setEnv(nullptr);
}

Lines ProgramTest::logLines() { return crlfLines(platform::test::readBytes(Log().strLogFile())); }

Lines ProgramTest::lastMessages(size_t count) {
  Lines lines = logLines(), messages;
  for (auto it = lines.end() - static_cast<std::ptrdiff_t>(std::min(count, lines.size())); it != lines.end(); ++it) {
    messages.push_back(messageOf(*it));
  }
  return messages;
}

}  // namespace tarnwick::test
