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
    static const std::string path = withFileSystemErrors(err::kFileNotFound,
                                                         [] { return fs::read_symlink("/proc/self/exe").string(); });
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
      return openStreamOn(standardInput(), mode, encoding);
    }
    FileDescriptor file(::open(path.c_str(), openFlags(mode, create), 0666));
    if (!file.isOpen()) raiseSystemError(errno, create ? err::kPathNotFound : err::kFileNotFound);
    return openStreamOn(std::move(file), mode, encoding);
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
    return {static_cast<uint64_t>(disk.f_bavail) * disk.f_frsize, static_cast<uint64_t>(disk.f_blocks) * disk.f_frsize};
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

Env* Env::Default() {
  static Env* const instance = new PosixEnv;
  return instance;
}

Env* env() { return installedEnv != nullptr ? installedEnv : Env::Default(); }

void setEnv(Env* e) { installedEnv = e; }

}  // namespace platform
