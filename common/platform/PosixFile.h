// Inside the platform layer only: the parts of the Linux Env that live in
// files of their own.
#pragma once

#include <string>

#include "Env.h"

namespace platform {

// The Env call of the same name, on the real file system.
FileIdentity identifyPath(const std::string& path);

}  // namespace platform
