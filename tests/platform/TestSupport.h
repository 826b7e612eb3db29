// Helpers shared by the platform tests: a scratch folder, raw file bytes,
// an installed Env and the number of the Error an action raises.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "platform/Env.h"
#include "platform/Error.h"

namespace platform::test {

namespace fs = std::filesystem;

// A fresh folder below the system's temporary folder, removed afterwards.
class TempFolder {
 public:
  TempFolder()
      : root_(fs::temp_directory_path() / ("platform_core_tests." + std::to_string(std::random_device{}()))) {
    fs::create_directories(root_);
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

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

// Installs an Env for the lifetime of this object.
class ScopedEnv {
 public:
  explicit ScopedEnv(Env* e) { setEnv(e); }
  ~ScopedEnv() { setEnv(nullptr); }
};

// The number of the Error that `action` raises, 0 when it raises none.
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
