// Helpers shared by the platform, record-set and reader tests: a scratch
// folder, raw file bytes, text files written through the platform, the
// program placed at a path of ours, and the number of the Error an action raises.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/Env.h"
#include "platform/Error.h"

namespace platform::test {

namespace fs = std::filesystem;

// A fresh folder below the system's temporary folder, removed afterwards.
class TempFolder {
 public:
  TempFolder() : root_(fs::temp_directory_path() / ("tarnwick_tests." + std::to_string(std::random_device{}()))) {
    fs::create_directories(root_);
  }
  ~TempFolder() { std::error_code ignored; fs::remove_all(root_, ignored); }

  std::string path(const std::string& name = "") const { return name.empty() ? root_.string() : (root_ / name).string(); }

 private:
  fs::path root_;
};

inline void writeBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Writes `lines` (UTF-8) through the platform's text streams, each ending in CR LF.
inline std::string writeLines(const std::string& path, const std::vector<std::string>& lines,
                              TextEncoding encoding = TextEncoding::Cp1252) {
  auto stream = env()->openTextFile(path, IOMode::ForWriting, true, encoding);
  for (const std::string& line : lines) stream->writeLine(line);
  stream->close();
  return path;
}

// The real environment, except that the running program is `programPath`.
// Installed for the lifetime of the object.
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

// An environment variable set while the object lives; the caller's value
// (or its absence) comes back afterwards.
class ScopedVariable {
 public:
  ScopedVariable(std::string name, const std::string& value) : name_(std::move(name)) {
    if (const char* callers = std::getenv(name_.c_str())) callers_ = callers;
    setenv(name_.c_str(), value.c_str(), 1);
  }
  ~ScopedVariable() { callers_ ? setenv(name_.c_str(), callers_->c_str(), 1) : unsetenv(name_.c_str()); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  std::string name_;
  std::optional<std::string> callers_;
};

// The tests make their own data folders: one that the caller's shell names is
// not theirs to fill, so every test program starts without it.
inline const bool kCallersDataFolderDropped = ::unsetenv("TARNWICK_HOME") == 0;

// The Error that `action` raises; number 0 when it raises none.
template <class Action>
Error errorOf(Action&& action) {
  try {
    action();
  } catch (const Error& e) {
    return e;
  }
  return Error(0, "");
}

template <class Action>
int errorNumberOf(Action&& action) {
  return errorOf(action).number();
}

}  // namespace platform::test
