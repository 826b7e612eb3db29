// Inside the platform layer only: the pieces of the Linux Env that its files
// share (descriptor ownership, errno to error numbers, writes, standard
// output, text streams on an open descriptor) and the output files that one
// run writes alone.
#pragma once

#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "Env.h"

namespace platform {

// Owns an open file descriptor.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  ~FileDescriptor() { reset(); }

  int get() const { return fd_; }
  bool isOpen() const { return fd_ >= 0; }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

// The error number for a failed system call; `whenMissing` is the one to
// use when the path (or a folder on it) does not exist.
int32_t errorNumberFor(int error, int32_t whenMissing);
[[noreturn]] void raiseSystemError(int error, int32_t whenMissing);

// The block the Linux Env reads files and pipes in, and writes buffered
// output in.
inline constexpr size_t kIoBlockBytes = 64 * 1024;

// Writes every byte, resuming after partial writes. Returns 0 or the errno;
// `written` (when given) tells how many bytes went out before a failure.
int writeAll(int fd, std::string_view bytes, size_t* written = nullptr);

// Standard output (ConsoleOutput.cpp): on a terminal written at once,
// anywhere else gathered and written in blocks, within a second, and at the
// process's exit(). flushStandardOutput() returns once all given before it
// is written.
void writeStandardOutput(std::string_view bytes);
void flushStandardOutput();

// The first of SIGINT, SIGTERM and SIGHUP that arrived, 0 before any.
extern volatile std::sig_atomic_t caughtInterrupt;

inline constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// What a text to be read holds, from the offset its descriptor is at.
struct InputText {
  TextEncoding encoding;  // the mark, else UTF-8 throughout (and not ASCII alone), else Cp1252
  uint64_t size;          // its bytes, the mark included
};

// Reads the text of `file` once to its end to find its encoding and size,
// and goes back to where it started. A descriptor that cannot go back (a
// pipe) is replaced by a temporary file holding what it delivered.
InputText inspectInput(FileDescriptor& file);

// A text stream on `file`, already open in `mode`.
std::unique_ptr<TextStream> openStreamOn(FileDescriptor file, IOMode mode, TextEncoding encoding);

// A text stream for writing that gathers its lines and writes them to the
// file in blocks of 64 KiB; flush() writes what it holds. A block that
// cannot be written fails the call that wrote it, and its lines are lost.
class BlockTextStream : public TextStream {
 public:
  virtual void flush() = 0;
};
std::unique_ptr<BlockTextStream> openBlockStreamOn(FileDescriptor file, TextEncoding encoding);

// The Env calls of the same names, on the real file system.
FileIdentity identifyPath(const std::string& path);
std::unique_ptr<TextStream> openExclusive(const std::string& path, TextEncoding encoding);
std::unique_ptr<ReplacementFile> openReplacement(const std::string& path, TextEncoding encoding);

}  // namespace platform
