// Helpers every test binary shares: a scratch folder, file bytes and lines, the program placed at a path of ours, and
// the Error an action raises.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Env.h"
#include "platform/Error.h"

namespace platform::test {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// A fresh folder below the system's temporary folder, removed afterwards.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  std::string path(const std::string& name = "") const { return name.empty() ? root_ : root_ + "/" + name; }

 private:
  std::string root_;
};

void writeBytes(const std::string& path, const std::string& bytes);
std::string readBytes(const std::string& path);
// Writes `lines` (UTF-8) through the platform's text streams, each ending in CR LF; returns `path`.
std::string writeLines(const std::string& path, const Lines& lines, TextEncoding encoding = TextEncoding::Cp1252);
// The pieces of `text` between `separator`s (one when there is none).
Lines splitAt(const std::string& text, const std::string& separator);
// The lines of `text` without their CR LF; a last line that lacks one comes marked "<no CR LF>".
Lines crlfLines(const std::string& text);
inline bool holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The real environment, except that the running program is `programPath`; installed while the object lives.
class ProgramAt : public EnvWrapper {
 public:
  explicit ProgramAt(std::string programPath) : EnvWrapper(Env::Default()), path_(std::move(programPath)) {
    setEnv(this);
  }
  ~ProgramAt() override { setEnv(nullptr); }
  std::string programPath() override { return path_; }

 private:
  std::string path_;
};

// The tests make their own data folders, so every test program starts without the caller's.
inline const bool kCallersDataFolderDropped = ::unsetenv("TARNWICK_HOME") == 0;

// The number of the Error that `action` raises; 0 when it raises none.
template <class Action>
int errorNumberOf(Action&& action) {
  try {
    action();
  } catch (const Error& e) {
    return e.number();
  }
  return 0;
}

}  // namespace platform::test
