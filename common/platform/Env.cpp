#include "Env.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include "Error.h"
#include "Paths.h"
#include "PosixFile.h"
#include "Text.h"

namespace platform {

int32_t errorNumberFor(int error, int32_t whenMissing) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY: return err::kPermissionDenied;
    case ENOENT:
    case ENOTDIR: return whenMissing;
    case ENOSPC:
    case EDQUOT: return err::kDiskFull;
    default: return err::kPathFileAccess;
  }
}

[[noreturn]] void raiseSystemError(int error, int32_t whenMissing) {
  raise(errorNumberFor(error, whenMissing));
}

volatile std::sig_atomic_t caughtInterrupt = 0;

namespace {

namespace fs = std::filesystem;

// Runs a std::filesystem action, turning its failures into platform errors.
template <class Action>
auto withFileSystemErrors(int32_t whenMissing, Action&& action) {
  try {
    return action();
  } catch (const fs::filesystem_error& e) {
    raiseSystemError(e.code().value(), whenMissing);
  }
}

}  // namespace

int writeAll(int fd, std::string_view bytes, size_t* written) {
  size_t total = 0;
  while (!bytes.empty()) {
    const ssize_t count = ::write(fd, bytes.data(), bytes.size());
    if (count > 0) {
      bytes.remove_prefix(static_cast<size_t>(count));
      total += static_cast<size_t>(count);
    } else if (count == 0 || errno != EINTR) {
      if (written) *written = total;
      return count == 0 ? EIO : errno;
    }
  }
  return 0;
}

namespace {

// Lines written go to the file at once, or with `blockBytes` above 0 in
// blocks of about that size.
class FileTextStream final : public BlockTextStream {
 public:
  FileTextStream(FileDescriptor file, IOMode mode, TextEncoding encoding, size_t blockBytes = 0)
      : file_(std::move(file)), reading_(mode == IOMode::ForReading), encoding_(encoding), blockBytes_(blockBytes) {
    if (reading_) takeInput();
  }

  std::string readLine() override {
    if (atEndOfStream()) raise(err::kInputPastEnd);
    size_t searched = 0;  // bytes after pos_ known to hold no LF
    for (;;) {
      const size_t lf = buffer_.find('\n', pos_ + searched);
      if (lf != std::string::npos) return takeLine(lf - pos_, 1);
      searched = buffer_.size() - pos_;
      if (searched > kMaxLineBytes + 1) {  // too long even if it ends in CR
        std::string cut = takeLine(searched, 0);
        skipRestOfLine();
        return cut;
      }
      if (!fillBuffer()) return takeLine(searched, 0);
    }
  }

  bool lineWasCut() const override { return lineWasCut_; }

  bool atEndOfStream() override {
    requireMode(true);
    return pos_ == buffer_.size() && !fillBuffer();
  }

  int32_t line() const override { return line_; }

  uint64_t bytesRead() const override { return reading_ ? dropped_ + pos_ : 0; }
  uint64_t totalBytes() const override { return totalBytes_; }

  // The line is encoded after what waits to be written, and fails before
  // anything is written.
  void writeLine(const std::string& text) override {
    requireMode(false);
    const size_t lineStart = pending_.size();
    if (needsMark()) pending_ += kUtf8Mark;
    if (!appendEncoded(text)) {
      pending_.resize(lineStart);
      raise(err::kInvalidArgument);
    }
    pending_ += "\r\n";
    if (pending_.size() >= blockBytes_) flush();
    written_ = true;
  }

  void flush() override {
    if (pending_.empty()) return;
    size_t written = 0;
    const int error = writeAll(file_.get(), pending_, &written);
    pending_.clear();
    if (error != 0) {
      dropPartialLine(written);
      raiseSystemError(error, err::kPathNotFound);
    }
  }

  TextEncoding encoding() const override { return encoding_; }

  void setEncoding(TextEncoding encoding) override {
    requireMode(false);
    if (written_) raise(err::kInvalidArgument);
    encoding_ = encoding;
  }

  void close() override {
    pending_.clear();
    file_.reset();
  }

 private:
  static constexpr size_t kChunkSize = 64 * 1024;

  // A line (or block) that did not fit (a full disk) is cut off again, so the
  // file never ends in half a line that a later write would run on from.
  void dropPartialLine(size_t written) {
    const off_t end = ::lseek(file_.get(), 0, SEEK_CUR) - static_cast<off_t>(written);
    if (written == 0 || end < 0) return;
    if (::ftruncate(file_.get(), end) == 0) ::lseek(file_.get(), end, SEEK_SET);
  }

  void requireMode(bool reading) const {
    if (!file_.isOpen()) raise(err::kObjectNotSet);
    if (reading != reading_) raise(err::kInvalidArgument);
  }

  // Finds the text's encoding and size, and passes over its mark.
  void takeInput() {
    const InputText input = inspectInput(file_);
    encoding_ = input.encoding;
    totalBytes_ = input.size;
    if (encoding_ != TextEncoding::Utf8WithMark) return;
    while (buffer_.size() < kUtf8Mark.size() && fillBuffer()) {
    }
    pos_ = kUtf8Mark.size();
  }

  // Drops the bytes already taken and appends the next chunk of the file.
  // Returns false at the end of the file.
  bool fillBuffer() {
    dropped_ += pos_;
    buffer_.erase(0, pos_);
    pos_ = 0;
    const size_t kept = buffer_.size();
    buffer_.resize(kept + kChunkSize);
    ssize_t got;
    do {
      got = ::read(file_.get(), buffer_.data() + kept, kChunkSize);
    } while (got < 0 && errno == EINTR);
    const int error = errno;
    buffer_.resize(kept + static_cast<size_t>(std::max<ssize_t>(got, 0)));
    if (got < 0) raiseSystemError(error, err::kFileNotFound);
    return got > 0;
  }

  // Takes `length` bytes and a line end of `endLength` bytes as one line,
  // keeping no more than kMaxLineBytes of it.
  std::string takeLine(size_t length, size_t endLength) {
    std::string_view raw(buffer_.data() + pos_, length);
    if (endLength > 0 && raw.ends_with('\r')) raw.remove_suffix(1);
    lineWasCut_ = raw.size() > kMaxLineBytes;
    raw = raw.substr(0, kMaxLineBytes);
    pos_ += length + endLength;
    ++line_;
    return encoding_ == TextEncoding::Cp1252 ? decodeCp1252(raw) : sanitizeUtf8(raw);
  }

  // Drops the bytes of a cut line up to and including its LF, one chunk at a time.
  void skipRestOfLine() {
    for (;;) {
      const size_t lf = buffer_.find('\n', pos_);
      if (lf != std::string::npos) {
        pos_ = lf + 1;
        return;
      }
      pos_ = buffer_.size();
      if (!fillBuffer()) return;
    }
  }

  // False when the encoding cannot hold the text.
  bool appendEncoded(const std::string& text) {
    if (encoding_ == TextEncoding::Cp1252) return appendCp1252(text, pending_);
    if (sanitizeUtf8(text) != text) return false;
    pending_ += text;
    return true;
  }

  // The mark goes first into a UTF-8 file, never into the middle of one.
  bool needsMark() const {
    if (encoding_ != TextEncoding::Utf8WithMark || written_) return false;
    struct stat st;
    return ::fstat(file_.get(), &st) == 0 && st.st_size == 0;
  }

  FileDescriptor file_;
  const bool reading_;
  TextEncoding encoding_;
  const size_t blockBytes_;
  std::string pending_;  // encoded lines not yet written; its room is kept for the next
  bool written_ = false;
  bool lineWasCut_ = false;
  std::string buffer_;
  size_t pos_ = 0;
  uint64_t dropped_ = 0;  // bytes taken and no longer in the buffer
  uint64_t totalBytes_ = 0;
  int32_t line_ = 1;
};

void noteInterrupt(int signal) {
  if (caughtInterrupt == 0) caughtInterrupt = signal;
}

// Descriptor `fd` open on /dev/null when it is closed.
void openWhenClosed(int fd) {
  if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) return;
  const int opened = ::open("/dev/null", O_RDWR);
  if (opened >= 0 && opened != fd) {
    ::dup2(opened, fd);
    ::close(opened);
  }
}

int openFlags(IOMode mode, bool create) {
  int flags = O_CLOEXEC | (create ? O_CREAT : 0);
  switch (mode) {
    case IOMode::ForReading: return flags | O_RDONLY;
    case IOMode::ForWriting: return flags | O_WRONLY | O_TRUNC;
    case IOMode::ForAppending: return flags | O_WRONLY | O_APPEND;
  }
  raise(err::kInvalidArgument);
}

bool hasType(const std::string& path, mode_t type) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == type;
}

TimePoint toTimePoint(fs::file_time_type t) {
  return std::chrono::time_point_cast<Clock::duration>(std::chrono::file_clock::to_sys(t));
}

// Standard input, from where its text starts; inspectInput keeps what a
// pipe or terminal delivers in a temporary file.
FileDescriptor standardInput() {
  FileDescriptor in(::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0));
  if (!in.isOpen()) raiseSystemError(errno, err::kFileNotFound);
  return in;
}

class PosixEnv final : public Env {
 public:
  // The executable of a running process never changes: read it once.
  std::string programPath() override {
    static const std::string path =
        withFileSystemErrors(err::kFileNotFound, [] { return fs::read_symlink("/proc/self/exe").string(); });
    return path;
  }

  bool fileExists(const std::string& path) override { return hasType(path, S_IFREG); }

  bool folderExists(const std::string& path) override { return hasType(path, S_IFDIR); }

  void createFolder(const std::string& path) override {
    if (::mkdir(path.c_str(), 0777) == 0) return;
    const int error = errno;
    if (error == EEXIST && folderExists(path)) return;
    raiseSystemError(error, err::kPathNotFound);
  }

  std::unique_ptr<TextStream> openTextFile(const std::string& path, IOMode mode, bool create,
                                           TextEncoding encoding) override {
    if (path == kStandardInput && mode == IOMode::ForReading) {
      return std::make_unique<FileTextStream>(standardInput(), mode, encoding);
    }
    FileDescriptor file(::open(path.c_str(), openFlags(mode, create), 0666));
    if (!file.isOpen()) raiseSystemError(errno, create ? err::kPathNotFound : err::kFileNotFound);
    return std::make_unique<FileTextStream>(std::move(file), mode, encoding);
  }

  std::unique_ptr<TextStream> openExclusiveTextFile(const std::string& path, TextEncoding encoding) override {
    return openExclusive(path, encoding);
  }

  std::unique_ptr<ReplacementFile> openReplacementFile(const std::string& path, TextEncoding encoding) override {
    return openReplacement(path, encoding);
  }

  FileIdentity identifyFile(const std::string& path) override { return identifyPath(path); }

  uint64_t folderSize(const std::string& path) override {
    return withFileSystemErrors(err::kPathNotFound, [&] {
      uint64_t total = 0;
      for (const auto& entry : fs::recursive_directory_iterator(path)) {
        std::error_code gone;  // a file removed meanwhile counts nothing
        const uint64_t size = entry.is_regular_file(gone) ? entry.file_size(gone) : 0;
        if (!gone) total += size;
      }
      return total;
    });
  }

  std::vector<FileEntry> filesIn(const std::string& path) override {
    auto files = withFileSystemErrors(err::kPathNotFound, [&] {
      std::vector<FileEntry> found;
      for (const auto& entry : fs::directory_iterator(path)) {
        std::error_code gone;
        if (!fs::is_regular_file(entry.symlink_status(gone))) continue;
        const auto modified = entry.last_write_time(gone);
        if (gone) continue;
        const std::string name = entry.path().filename();
        found.push_back({name, joinPath(path, name), toTimePoint(modified)});
      }
      return found;
    });
    std::sort(files.begin(), files.end(), [](const FileEntry& a, const FileEntry& b) { return a.name < b.name; });
    return files;
  }

  // Permission bits do not stop root from unlinking, so a file without the
  // owner's write bit is refused here, as a read-only file is everywhere.
  void deleteFile(const std::string& path) override {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) raiseSystemError(errno, err::kFileNotFound);
    if ((st.st_mode & S_IWUSR) == 0) raise(err::kPermissionDenied);
    if (::unlink(path.c_str()) != 0) raiseSystemError(errno, err::kFileNotFound);
  }

  DiskSpace diskSpace(const std::string& path) override {
    struct statvfs disk;
    if (::statvfs(path.c_str(), &disk) != 0) raiseSystemError(errno, err::kPathNotFound);
    return {static_cast<uint64_t>(disk.f_bavail) * disk.f_frsize,
            static_cast<uint64_t>(disk.f_blocks) * disk.f_frsize};
  }

  TimePoint now() override { return Clock::now(); }

  std::tm localCalendar(std::time_t t) override {
    std::tm calendar{};
    ::localtime_r(&t, &calendar);
    return calendar;
  }

  std::time_t fromLocalCalendar(std::tm calendar) override { return std::mktime(&calendar); }

  std::string currentFolder() override {
    std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
    if (!cwd) raise(err::kPathNotFound);
    return cwd.get();
  }

  std::optional<std::string> variable(const std::string& name) override {
    const char* value = std::getenv(name.c_str());
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
  }

  std::string consoleCharset() override { return ::nl_langinfo(CODESET); }

  // Never closed: dlopen hands out the same library again on the next call.
  void* libraryFunction(const std::string& path, const std::string& name) override {
    void* library = ::dlopen(path.c_str(), RTLD_NOW);
    return library != nullptr ? ::dlsym(library, name.c_str()) : nullptr;
  }

  void debugOutput(const std::string& text) override {
    static const bool wanted = variable("TARNWICK_DEBUG_OUTPUT").has_value();  // read once: it is asked per log line
    if (wanted) writeStdErr(text + "\n");
  }

  void writeStdOut(const std::string& bytes) override { writeStandardOutput(bytes); }

  void writeStdErr(const std::string& bytes) override {
    flushStandardOutput();
    writeAll(STDERR_FILENO, bytes);
  }

  bool isInteractive() override { return ::isatty(STDIN_FILENO) && ::isatty(STDERR_FILENO); }

  bool isTerminal(StandardStream stream) override {
    return ::isatty(stream == StandardStream::Output ? STDOUT_FILENO : STDERR_FILENO);
  }

  void waitForEnter() override {
    char c = 0;
    ssize_t got;
    do {
      got = ::read(STDIN_FILENO, &c, 1);
    } while ((got > 0 && c != '\n') || (got < 0 && errno == EINTR && caughtInterrupt == 0));
  }

  void prepareProcess() override {
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) openWhenClosed(fd);
    std::signal(SIGPIPE, SIG_IGN);
    struct sigaction caught = {};
    caught.sa_handler = noteInterrupt;  // no SA_RESTART: a wait for Enter ends
    sigemptyset(&caught.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &caught, nullptr);
    std::setlocale(LC_ALL, "");
  }

  int interruptSignal() override { return caughtInterrupt; }

  [[noreturn]] void exitProcess(int status) override {
    flushStandardOutput();
    ::_exit(status);
  }
};

Env* installedEnv = nullptr;

}  // namespace

std::unique_ptr<TextStream> openStreamOn(FileDescriptor file, IOMode mode, TextEncoding encoding) {
  return std::make_unique<FileTextStream>(std::move(file), mode, encoding);
}

std::unique_ptr<BlockTextStream> openBlockStreamOn(FileDescriptor file, TextEncoding encoding) {
  constexpr size_t kBlockBytes = 64 * 1024;
  return std::make_unique<FileTextStream>(std::move(file), IOMode::ForWriting, encoding, kBlockBytes);
}

Env* Env::Default() {
  static Env* const instance = new PosixEnv;
  return instance;
}

Env* env() { return installedEnv != nullptr ? installedEnv : Env::Default(); }

void setEnv(Env* e) { installedEnv = e; }

}  // namespace platform
