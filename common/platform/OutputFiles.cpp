// The identity of a path through its links, on the real file system.
#include <sys/stat.h>

#include <filesystem>

#include "PosixFile.h"

namespace platform {

namespace {

namespace fs = std::filesystem;

FileKind kindOf(mode_t mode) {
  if (S_ISREG(mode)) return FileKind::Regular;
  if (S_ISDIR(mode)) return FileKind::Directory;
  if (S_ISFIFO(mode)) return FileKind::Fifo;
  if (S_ISCHR(mode) || S_ISBLK(mode)) return FileKind::Device;
  return FileKind::Other;
}

// `path` made absolute with every link on it resolved, also when its last
// part does not exist yet: then its folder is resolved, and a link there
// followed to where it points.
std::string resolveLinks(fs::path path) {
  constexpr int kMaxLinks = 40;
  std::error_code failed;
  for (int link = 0; link < kMaxLinks; ++link) {
    fs::path whole = fs::canonical(path, failed);
    if (!failed) return whole;
    fs::path folder = fs::canonical(path.has_parent_path() ? path.parent_path() : ".", failed);
    if (failed) break;
    fs::path named = folder / path.filename();
    fs::path target = fs::read_symlink(named, failed);
    if (failed) return named;
    path = folder / target;
  }
  return fs::absolute(path, failed);
}

}  // namespace

bool FileIdentity::sameFileAs(const FileIdentity& other) const {
  if (kind != FileKind::Missing && other.kind != FileKind::Missing) {
    return device == other.device && inode == other.inode;
  }
  return resolvedPath == other.resolvedPath;
}

FileIdentity identifyPath(const std::string& path) {
  FileIdentity identity;
  identity.resolvedPath = resolveLinks(path);
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return identity;
  identity.kind = kindOf(st.st_mode);
  identity.device = st.st_dev;
  identity.inode = st.st_ino;
  return identity;
}

}  // namespace platform
