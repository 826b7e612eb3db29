#include "ComponentLoader.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <unordered_map>

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

// Opens the library once per path; it stays loaded while the process lives,
// since the objects it created may be in use until the end.
void* openLibrary(const std::string& path) {
  static std::unordered_map<std::string, void*> opened;
  if (auto it = opened.find(path); it != opened.end()) return it->second;
  void* handle = dlopen(path.c_str(), RTLD_NOW);
  if (handle == nullptr) raise(err::kCannotCreateObject);
  opened.emplace(path, handle);
  return handle;
}

}  // namespace

std::string componentLibraryFile(const std::string& progId) {
  return joinPath(programFolder(), libraryFileName(progId.substr(0, progId.find('.'))));
}

void* createComponent(const std::string& progId) {
  const size_t dot = progId.find('.');
  if (dot == std::string::npos) raise(err::kCannotCreateObject);
  void* library = openLibrary(componentLibraryFile(progId));
  auto factory = reinterpret_cast<Factory>(dlsym(library, ("create" + progId.substr(dot + 1)).c_str()));
  void* instance = factory != nullptr ? factory() : nullptr;
  if (instance == nullptr) raise(err::kCannotCreateObject);
  return instance;
}

}  // namespace platform
