#include "ProgramInfo.h"

#include "Env.h"
#include "Error.h"
#include "Paths.h"

namespace platform {

std::string programFolder() { return parentFolderName(env()->programPath()); }

std::string dataFolder() {
  const std::optional<std::string> home = env()->variable(kDataFolderVariable);
  if (!home) return programFolder();
  const std::string name = kDataFolderVariable;
  if (home->empty()) {
    throw Error(err::kPathNotFound, name + " is set but empty: set it to a folder you may write, or unset it");
  }
  std::string folder = absolutePathName(*home);
  if (!env()->folderExists(folder)) throw Error(err::kPathNotFound, name + " names no folder: " + folder);
  return folder;
}

std::string programName() { return baseName(env()->programPath()); }

std::string productName() { return TARNWICK_PRODUCT_NAME; }

int versionMajor() { return TARNWICK_VERSION_MAJOR; }

int versionMinor() { return TARNWICK_VERSION_MINOR; }

int versionRevision() { return TARNWICK_VERSION_REVISION; }

}  // namespace platform
