#include "RecordingEnv.h"

#include <cstdlib>
#include <ctime>

namespace tarnwick::test {

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
  return target()->openTextFile(path, mode, create, encoding);
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
    messages.push_back(it->size() > 65 ? it->substr(65) : "");
  }
  return messages;
}

}  // namespace tarnwick::test
