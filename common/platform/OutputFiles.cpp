// Files that one run writes alone: the identity of a path through its links,
// the locked output file, and the replacement written beside its target.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "Error.h"
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

bool sameInode(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

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

// Opens `path` for writing, creating it when missing (`created` tells), and
// takes the exclusive lock on the very file the path still names once the
// lock is granted: a file renamed over it meanwhile is opened anew. Anything
// but a regular file is refused before it is opened, since opening a FIFO or
// a device may block or act on it.
FileDescriptor openLocked(const std::string& path, bool& created) {
  constexpr int kAttempts = 100;
  constexpr int kFlags = O_WRONLY | O_NONBLOCK | O_CLOEXEC;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    struct stat opened, named;
    if (::stat(path.c_str(), &named) == 0 && !S_ISREG(named.st_mode)) raise(err::kPathFileAccess);
    FileDescriptor file(::open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0666));
    created = file.isOpen();
    if (!created && errno == EEXIST) {
      file = FileDescriptor(::open(path.c_str(), kFlags));
      if (!file.isOpen() && errno == ENOENT) continue;  // removed in between
    }
    if (!file.isOpen()) raiseSystemError(errno, err::kPathNotFound);
    if (::fstat(file.get(), &opened) != 0 || !S_ISREG(opened.st_mode)) raise(err::kPathFileAccess);
    if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
      raise(errno == EWOULDBLOCK ? err::kFileAlreadyOpen : errorNumberFor(errno, err::kPathNotFound));
    }
    if (::stat(path.c_str(), &named) == 0 && sameInode(opened, named)) return file;
  }
  raise(err::kFileAlreadyOpen);
}

// The new text in a temporary file beside the locked target, which it gets
// the permissions of. Nobody sees that file before it is complete, so its
// lines go to it in blocks.
class PosixReplacementFile final : public ReplacementFile {
 public:
  PosixReplacementFile(std::string target, FileDescriptor lock, bool createdTarget)
      : target_(std::move(target)), lock_(std::move(lock)), createdTarget_(createdTarget) {}
  ~PosixReplacementFile() override { discard(); }

  void openTemporaryFile(TextEncoding encoding) {
    fs::path name = target_;
    std::string path = name.replace_filename("." + name.filename().string() + ".XXXXXX");
    FileDescriptor file(::mkostemp(path.data(), O_CLOEXEC));
    if (!file.isOpen()) raiseSystemError(errno, err::kPathNotFound);
    temporaryPath_ = path;
    struct stat target;
    if (::fstat(lock_.get(), &target) != 0 || ::fchmod(file.get(), target.st_mode & 07777) != 0) {
      raiseSystemError(errno, err::kPathFileAccess);
    }
    temporaryFd_ = file.get();
    stream_ = openBlockStreamOn(std::move(file), encoding);
  }

  std::string readLine() override { return stream_->readLine(); }
  bool lineWasCut() const override { return stream_->lineWasCut(); }
  bool atEndOfStream() override { return stream_->atEndOfStream(); }
  int32_t line() const override { return stream_->line(); }
  uint64_t bytesRead() const override { return stream_->bytesRead(); }
  uint64_t totalBytes() const override { return stream_->totalBytes(); }
  TextEncoding encoding() const override { return stream_->encoding(); }
  void setEncoding(TextEncoding encoding) override { stream_->setEncoding(encoding); }
  void close() override { stream_->close(); }

  void writeLine(const std::string& text) override {
    try {
      stream_->writeLine(text);
    } catch (const Error& e) {
      if (e.number() != err::kInvalidArgument && !writeFailure_) writeFailure_ = e;
      throw;
    }
  }

  void commit() override {
    try {
      if (writeFailure_) throw *writeFailure_;
      stream_->flush();
      if (::fsync(temporaryFd_) != 0 || ::rename(temporaryPath_.c_str(), target_.c_str()) != 0) {
        raiseSystemError(errno, err::kPathNotFound);
      }
    } catch (const Error&) {
      discard();
      throw;
    }
    temporaryPath_.clear();
    createdTarget_ = false;
  }

  void discard() override {
    if (!temporaryPath_.empty()) ::unlink(temporaryPath_.c_str());
    temporaryPath_.clear();
    struct stat locked, named;
    if (createdTarget_ && ::fstat(lock_.get(), &locked) == 0 && locked.st_size == 0 &&
        ::stat(target_.c_str(), &named) == 0 && sameInode(locked, named)) {
      ::unlink(target_.c_str());
    }
    createdTarget_ = false;
  }

 private:
  const std::string target_;
  FileDescriptor lock_;
  bool createdTarget_;
  std::string temporaryPath_;  // empty once committed or discarded
  int temporaryFd_ = -1;       // owned by stream_
  std::unique_ptr<BlockTextStream> stream_;
  std::optional<Error> writeFailure_;
};

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

std::unique_ptr<TextStream> openExclusive(const std::string& path, TextEncoding encoding) {
  bool created = false;
  FileDescriptor file = openLocked(resolveLinks(path), created);
  if (::ftruncate(file.get(), 0) != 0) raiseSystemError(errno, err::kPathNotFound);
  return openStreamOn(std::move(file), IOMode::ForWriting, encoding);
}

std::unique_ptr<ReplacementFile> openReplacement(const std::string& path, TextEncoding encoding) {
  const std::string target = resolveLinks(path);
  bool created = false;
  FileDescriptor lock = openLocked(target, created);
  auto file = std::make_unique<PosixReplacementFile>(target, std::move(lock), created);
  file->openTemporaryFile(encoding);
  return file;
}

}  // namespace platform
