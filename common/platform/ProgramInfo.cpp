#include "ProgramInfo.h"

#include "Env.h"
#include "Paths.h"

namespace platform {

std::string programFolder() { return parentFolderName(env()->programPath()); }

std::string programName() { return baseName(env()->programPath()); }

std::string productName() { return TARNWICK_PRODUCT_NAME; }

int versionMajor() { return TARNWICK_VERSION_MAJOR; }

int versionMinor() { return TARNWICK_VERSION_MINOR; }

int versionRevision() { return TARNWICK_VERSION_REVISION; }

}  // namespace platform
