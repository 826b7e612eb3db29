// Helpers of the record-set tests, beside the platform tests' own (a scratch
// folder, the Error number an action raises): an Env that places the
// running program in a folder of ours.
#pragma once

#include <string>

#include "../platform/TestSupport.h"
#include "platform/Env.h"

namespace platform::db::test {

using platform::test::errorNumberOf;
using platform::test::TempFolder;

// The real environment, except that the running program lives in `folder`.
// Installed for the lifetime of the object.
class ProgramInFolderEnv final : public Env {
 public:
  explicit ProgramInFolderEnv(std::string folder) : programPath_(std::move(folder) + "/tarnwick") { setEnv(this); }
  ~ProgramInFolderEnv() override { setEnv(nullptr); }

  std::string programPath() override { return programPath_; }
  bool fileExists(const std::string& path) override { return real()->fileExists(path); }
  bool folderExists(const std::string& path) override { return real()->folderExists(path); }
  void createFolder(const std::string& path) override { real()->createFolder(path); }
  std::unique_ptr<TextStream> openTextFile(const std::string& path, IOMode mode, bool create,
                                           TextEncoding encoding) override {
    return real()->openTextFile(path, mode, create, encoding);
  }
  uint64_t folderSize(const std::string& path) override { return real()->folderSize(path); }
  std::vector<FileEntry> filesIn(const std::string& path) override { return real()->filesIn(path); }
  void deleteFile(const std::string& path) override { real()->deleteFile(path); }
  DiskSpace diskSpace(const std::string& path) override { return real()->diskSpace(path); }
  TimePoint now() override { return real()->now(); }
  void debugOutput(const std::string& text) override { real()->debugOutput(text); }
  void writeStdOut(const std::string& bytes) override { real()->writeStdOut(bytes); }
  void writeStdErr(const std::string& bytes) override { real()->writeStdErr(bytes); }
  bool isInteractive() override { return real()->isInteractive(); }
  void waitForEnter() override { real()->waitForEnter(); }
  void exitProcess(int status) override { real()->exitProcess(status); }

 private:
  static Env* real() { return Env::Default(); }
  std::string programPath_;
};

}  // namespace platform::db::test
