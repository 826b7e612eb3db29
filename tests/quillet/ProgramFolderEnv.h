// An Env that behaves like the real one but reports another program path, so
// the component loader looks for libraries in a chosen folder.
#pragma once

#include <string>

#include "platform/Env.h"

namespace quillet_test {

class ProgramFolderEnv final : public platform::EnvWrapper {
 public:
  explicit ProgramFolderEnv(std::string programPath)
      : EnvWrapper(platform::Env::Default()), programPath_(std::move(programPath)) {}

  std::string programPath() override { return programPath_; }

 private:
  std::string programPath_;
};

}  // namespace quillet_test
