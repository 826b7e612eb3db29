// Text read in: how it is encoded and how long it is, found before its first
// line is read; text that can be read only once is kept in a temporary file.
#include <fcntl.h>

#include <cerrno>
#include <cstdlib>

#include "Error.h"
#include "Paths.h"
#include "PosixFile.h"
#include "Text.h"

namespace platform {

namespace {

// Reads up to `buffer.size()` bytes. The count, 0 at the end or once a
// signal that ends the run has arrived; a failed read raises.
size_t readChunk(int fd, std::string& buffer) {
  ssize_t got;
  do {
    got = ::read(fd, buffer.data(), buffer.size());
  } while (got < 0 && errno == EINTR && caughtInterrupt == 0);
  if (got < 0 && errno == EINTR) return 0;
  if (got < 0) raiseSystemError(errno, err::kFileNotFound);
  return static_cast<size_t>(got);
}

// Every byte still to come from `fd`, in a new temporary file that no
// folder names (it goes when it is closed), read from its start.
FileDescriptor copyToTemporaryFile(int fd) {
  const char* configured = std::getenv("TMPDIR");
  std::string path = joinPath(configured != nullptr && *configured != '\0' ? configured : "/tmp", "tarnwick.XXXXXX");
  FileDescriptor copy(::mkostemp(path.data(), O_CLOEXEC));
  if (!copy.isOpen()) raiseSystemError(errno, err::kPathNotFound);
  ::unlink(path.c_str());
  std::string chunk(kIoBlockBytes, '\0');
  while (size_t got = readChunk(fd, chunk)) {
    if (int error = writeAll(copy.get(), std::string_view(chunk).substr(0, got)))
      raiseSystemError(error, err::kPathNotFound);
  }
  if (::lseek(copy.get(), 0, SEEK_SET) != 0) raiseSystemError(errno, err::kPathFileAccess);
  return copy;
}

}  // namespace

InputText inspectInput(FileDescriptor& file) {
  off_t start = ::lseek(file.get(), 0, SEEK_CUR);
  if (start < 0) {
    file = copyToTemporaryFile(file.get());
    start = 0;
  }
  InputText input{TextEncoding::Cp1252, 0};
  Utf8Detector detector;
  std::string chunk(kIoBlockBytes, '\0');
  while (size_t got = readChunk(file.get(), chunk)) {
    std::string_view piece(chunk.data(), got);
    if (input.size == 0 && piece.starts_with(kUtf8Mark)) input.encoding = TextEncoding::Utf8WithMark;
    if (input.encoding != TextEncoding::Utf8WithMark) detector.feed(piece);
    input.size += got;
  }
  if (input.encoding != TextEncoding::Utf8WithMark && detector.isUtf8()) input.encoding = TextEncoding::Utf8;
  if (::lseek(file.get(), start, SEEK_SET) != start) raiseSystemError(errno, err::kPathFileAccess);
  return input;
}

}  // namespace platform
