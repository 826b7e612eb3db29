#include "ComponentLoader.h"

#include <algorithm>
#include <cctype>

#include "Env.h"
#include "Error.h"
#include "Paths.h"
#include "ProgramInfo.h"

namespace platform {

namespace {

using Factory = void* (*)();

// "Quillet" -> "libquillet.so".
std::string libraryFileName(const std::string& library) {
  std::string lower = library;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return "lib" + lower + ".so";
}

}  // namespace

std::string componentLibraryFile(const std::string& progId) {
  return joinPath(programFolder(), libraryFileName(progId.substr(0, progId.find('.'))));
}

void* createComponent(const std::string& progId) {
  const size_t dot = progId.find('.');
  if (dot == std::string::npos) raise(err::kCannotCreateObject);
  auto factory = reinterpret_cast<Factory>(
      env()->libraryFunction(componentLibraryFile(progId), "create" + progId.substr(dot + 1)));
  void* instance = factory != nullptr ? factory() : nullptr;
  if (instance == nullptr) raise(err::kCannotCreateObject);
  return instance;
}

}  // namespace platform
