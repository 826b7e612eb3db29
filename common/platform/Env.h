// Env: the one narrow interface through which the program and the reader reach
// the operating system (files, folders, clock, time zone, disks, locale,
// environment variables, standard streams, shared libraries and the debugger
// output). Env::Default() is the real Linux one; tests install their own (or
// wrap the default) with setEnv() to produce faults and fixed clocks.
//
// Calls to the system that do not go through Env, on purpose:
// - platform/db, the record-set layer, is the database half of this seam. It
//   reaches SQLite and unixODBC through SOCI and, where SOCI offers nothing,
//   directly, all in db/Engines.cpp: the data-source lookup, the login and
//   query timeouts, SQLite's transaction state, and the environment
//   variables and home folder that tell where unixODBC's configuration files
//   are (which it opens through Env to check them). A fake Env cannot stand
//   in for a database engine; tests use a scratch SQLite file instead.
// - Text.cpp converts console text with glibc's iconv, given the character
//   set that consoleCharset() names: a conversion of bytes in memory (glibc
//   may load its tables the first time), nothing a fake Env could answer.
// - The Linux Env itself (Env.cpp, FileStreams.cpp, InputFiles.cpp,
//   OutputFiles.cpp, ConsoleOutput.cpp and PosixFile.h, which only they
//   include) makes the system calls behind the methods below, the signal
//   handlers of prepareProcess() among them.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

using Clock = std::chrono::system_clock;
using TimePoint = Clock::time_point;

enum class IOMode { ForReading = 1, ForWriting = 2, ForAppending = 8 };

// How a text stream stores characters: Cp1252 is the system code page; UTF-8
// comes with the byte-order mark at the start or without it. Reading finds
// the encoding on its own (see Env::openTextFile).
enum class TextEncoding { Cp1252, Utf8WithMark, Utf8 };

// The standard streams a terminal may be on.
enum class StandardStream { Output, Error };

struct DiskSpace {
  uint64_t freeToCaller = 0;  // bytes available to this user (quotas apply)
  uint64_t total = 0;         // bytes of the whole disk
};

// The longest line a text stream reads whole, in bytes (1 MiB).
inline constexpr size_t kMaxLineBytes = 1024 * 1024;

// The input path that stands for standard input (openTextFile, ForReading),
// and the path under which identifyFile finds what standard input reads.
inline constexpr std::string_view kStandardInput = "-";
inline constexpr const char* kStandardInputFile = "/dev/stdin";

// What a path names: nothing, a regular file, or a file of another kind.
enum class FileKind { Missing, Regular, Directory, Fifo, Device, Other };

// Who a path names once its links are resolved, to tell whether two paths
// name one file (through links, hard links or "..").
struct FileIdentity {
  FileKind kind = FileKind::Missing;
  std::string resolvedPath;  // absolute, every link resolved (a missing file: its folder's)
  uint64_t device = 0;       // device and inode of an existing file
  uint64_t inode = 0;

  // The same device and inode when both exist, else the same resolved path.
  bool sameFileAs(const FileIdentity& other) const;
};

struct FileEntry {
  std::string name;  // file name without folder
  std::string path;  // folder + "/" + name
  TimePoint lastModified;
};

// A text file opened line by line. Lines end in CR LF when written; on reading
// a line ends at LF and a CR just before it is dropped. Writes reach the file
// before writeLine returns: nothing is held back in a user-space buffer.
class TextStream {
 public:
  virtual ~TextStream() = default;

  // The next line without its line end, as UTF-8. Past the last line fails
  // with Error 62. Reading a stream opened for writing, or writing one opened
  // for reading, fails with Error 5. A line longer than kMaxLineBytes is cut:
  // its first kMaxLineBytes bytes are returned and the rest is skipped
  // without being held in memory.
  virtual std::string readLine() = 0;

  // True when the line last read was cut (longer than kMaxLineBytes).
  virtual bool lineWasCut() const = 0;

  // True when no line is left to read.
  virtual bool atEndOfStream() = 0;

  // A stream opened for reading: the bytes taken so far (the byte-order
  // mark and the lines read, with their ends) and the whole text's bytes.
  // Both 0 for a stream opened for writing.
  virtual uint64_t bytesRead() const = 0;
  virtual uint64_t totalBytes() const = 0;

  // Number of the line about to be read, counting from 1.
  virtual int32_t line() const = 0;

  // Writes `text` and CR LF. A character the stream's encoding cannot hold
  // fails with Error 5 and writes nothing; a full disk fails with Error 61.
  virtual void writeLine(const std::string& text) = 0;

  // The encoding in use. A stream opened for writing may switch to another
  // before its first write; with Utf8WithMark the mark is then written first
  // (unless the file already holds text, as when appending). Text written
  // as UTF-8 must be well-formed (Error 5 otherwise).
  virtual TextEncoding encoding() const = 0;
  virtual void setEncoding(TextEncoding encoding) = 0;

  // Releases the file. Any later read or write fails with Error 91.
  virtual void close() = 0;
};

// A file written anew beside the one it replaces: lines go to a temporary
// file in the target's folder, and the target changes only on commit(), in
// one step, so it holds either the old text or the whole new one. Unlike
// other streams it writes its lines in blocks, so a full disk may fail a
// later writeLine than the one whose line did not fit, or commit().
class ReplacementFile : public TextStream {
 public:
  // Writes the last block and puts the temporary file, synced to disk, in
  // the target's place. After a write that failed (other than Error 5 for a
  // character the encoding lacks) it fails with that error instead and
  // discards.
  virtual void commit() = 0;

  // Removes the temporary file, and the target as well when this run created
  // it empty; the target is otherwise left as it was. Destruction without
  // commit() discards.
  virtual void discard() = 0;
};

class Env {
 public:
  virtual ~Env() = default;

  // The real environment of this process. Never null, never deleted.
  static Env* Default();

  // Full path of the running executable (the directory of /proc/self/exe
  // is the program folder).
  virtual std::string programPath() = 0;

  // True only for an existing regular file (or folder, for folderExists).
  virtual bool fileExists(const std::string& path) = 0;
  virtual bool folderExists(const std::string& path) = 0;

  // Creates one folder level; the parent must exist (Error 76 otherwise,
  // 70 when not allowed); a folder that already exists is left as it is.
  virtual void createFolder(const std::string& path) = 0;

  // Opens a text file. ForWriting empties an existing file, ForAppending
  // keeps it; `create` makes a missing file, otherwise a missing one fails
  // with 53. A file we may not open fails with 70, a missing folder with 76.
  // Reading ignores `encoding`: a text that starts with the UTF-8 mark is
  // UTF-8 with the mark; one that is UTF-8 throughout (checked once, in
  // bounded memory) and not plain ASCII is Utf8; any other is Cp1252.
  // kStandardInput opened ForReading reads standard input from where its
  // text starts. Text that can be read only once (a pipe, a terminal) is
  // first kept whole in an unlinked temporary file; a signal ends the copy.
  virtual std::unique_ptr<TextStream> openTextFile(const std::string& path, IOMode mode, bool create,
                                                   TextEncoding encoding) = 0;

  // Opens `path` (links resolved) for writing by this process alone: the
  // file is created when missing, then locked (an exclusive, non-blocking
  // flock held until the stream is closed), and only then emptied. Another
  // process's lock fails with Error 55; a path that is not a regular file
  // fails with 75 without ever waiting on it (a FIFO, a device).
  virtual std::unique_ptr<TextStream> openExclusiveTextFile(const std::string& path, TextEncoding encoding) = 0;

  // Takes the same lock on `path` without emptying it, and opens the new
  // text that is to replace it. Fails as openExclusiveTextFile does, or as
  // creating a file in its folder does.
  virtual std::unique_ptr<ReplacementFile> openReplacementFile(const std::string& path, TextEncoding encoding) = 0;

  // What `path` names; never fails (an unreadable path counts as missing).
  virtual FileIdentity identifyFile(const std::string& path) = 0;

  // Total bytes of every file in `path` and the folders below it.
  virtual uint64_t folderSize(const std::string& path) = 0;

  // The regular files directly in `path` (no folders, no links), with their
  // modification time.
  virtual std::vector<FileEntry> filesIn(const std::string& path) = 0;

  // Deletes a file without force: a read-only file is not deleted (Error 70).
  virtual void deleteFile(const std::string& path) = 0;

  // Bytes free to this user and total bytes of the disk that holds `path`.
  // Fails with an Error when the disk cannot be asked.
  virtual DiskSpace diskSpace(const std::string& path) = 0;

  virtual TimePoint now() = 0;

  // A time as a date and time of the system's time zone, and back; the way
  // back accepts fields out of their range (the 0th of a month is the last
  // day of the one before) and finds whether summer time applies.
  virtual std::tm localCalendar(std::time_t t) = 0;
  virtual std::time_t fromLocalCalendar(std::tm calendar) = 0;

  // The current directory. Fails with Error 76 when it no longer exists.
  virtual std::string currentFolder() = 0;

  // The value of the environment variable `name`; none when it is not set.
  virtual std::optional<std::string> variable(const std::string& name) = 0;

  // The character set of the console as the user's locale names it
  // ("UTF-8", "ISO-8859-15", "ANSI_X3.4-1968" in the C locale).
  virtual std::string consoleCharset() = 0;

  // The function `name` of the shared library at `path`, which stays loaded
  // for the rest of the process (what it made may be in use until the end);
  // nullptr when the library cannot be loaded or has no such function.
  virtual void* libraryFunction(const std::string& path, const std::string& name) = 0;

  // The debugger output: one line per call, to standard error when the
  // environment variable TARNWICK_DEBUG_OUTPUT is set, otherwise nowhere.
  virtual void debugOutput(const std::string& text) = 0;

  // Raw bytes to standard output / standard error. Standard output on a
  // terminal is written at once; anywhere else it is gathered and written in
  // blocks, within a second, before any standard-error text (which is
  // written at once) and when the process ends: by exitProcess() or by
  // returning from main. Failures are ignored: a closed standard stream
  // makes the writes vanish.
  virtual void writeStdOut(const std::string& bytes) = 0;
  virtual void writeStdErr(const std::string& bytes) = 0;

  // True when standard input and standard error are both terminals.
  virtual bool isInteractive() = 0;

  // True when `stream` is a terminal.
  virtual bool isTerminal(StandardStream stream) = 0;

  // Blocks until a line (Enter) is read from standard input.
  virtual void waitForEnter() = 0;

  // Once, at process start: closed descriptors 0, 1 and 2 are opened on
  // /dev/null, so no file opened later takes their place; SIGPIPE is ignored,
  // so writes to a console that went away fail silently; SIGINT, SIGTERM and
  // SIGHUP no longer end the process but are kept for interruptSignal(); and
  // the user's locale is taken, which names the console's character set.
  virtual void prepareProcess() = 0;

  // The first of SIGINT, SIGTERM and SIGHUP caught so far, 0 before any.
  virtual int interruptSignal() = 0;

  // Ends the process at once with `status`, once standard output is
  // written: no exit handlers run and no stdio buffer is flushed (the
  // program writes nothing through stdio).
  [[noreturn]] virtual void exitProcess(int status) = 0;
};

// Forwards every call to another Env. A test derives from it, overrides the
// calls it wants to change (a fixed clock, a failing disk) and installs it.
class EnvWrapper : public Env {
 public:
  explicit EnvWrapper(Env* target) : target_(target) {}
  Env* target() const { return target_; }

  std::string programPath() override { return target_->programPath(); }
  bool fileExists(const std::string& path) override { return target_->fileExists(path); }
  bool folderExists(const std::string& path) override { return target_->folderExists(path); }
  void createFolder(const std::string& path) override { target_->createFolder(path); }
  std::unique_ptr<TextStream> openTextFile(const std::string& path, IOMode mode, bool create,
                                           TextEncoding encoding) override {
    return target_->openTextFile(path, mode, create, encoding);
  }
  std::unique_ptr<TextStream> openExclusiveTextFile(const std::string& path, TextEncoding encoding) override {
    return target_->openExclusiveTextFile(path, encoding);
  }
  std::unique_ptr<ReplacementFile> openReplacementFile(const std::string& path, TextEncoding encoding) override {
    return target_->openReplacementFile(path, encoding);
  }
  FileIdentity identifyFile(const std::string& path) override { return target_->identifyFile(path); }
  uint64_t folderSize(const std::string& path) override { return target_->folderSize(path); }
  std::vector<FileEntry> filesIn(const std::string& path) override { return target_->filesIn(path); }
  void deleteFile(const std::string& path) override { target_->deleteFile(path); }
  DiskSpace diskSpace(const std::string& path) override { return target_->diskSpace(path); }
  TimePoint now() override { return target_->now(); }
  std::tm localCalendar(std::time_t t) override { return target_->localCalendar(t); }
  std::time_t fromLocalCalendar(std::tm calendar) override { return target_->fromLocalCalendar(calendar); }
  std::string currentFolder() override { return target_->currentFolder(); }
  std::optional<std::string> variable(const std::string& name) override { return target_->variable(name); }
  std::string consoleCharset() override { return target_->consoleCharset(); }
  void* libraryFunction(const std::string& path, const std::string& name) override {
    return target_->libraryFunction(path, name);
  }
  void debugOutput(const std::string& text) override { target_->debugOutput(text); }
  void writeStdOut(const std::string& bytes) override { target_->writeStdOut(bytes); }
  void writeStdErr(const std::string& bytes) override { target_->writeStdErr(bytes); }
  bool isInteractive() override { return target_->isInteractive(); }
  bool isTerminal(StandardStream stream) override { return target_->isTerminal(stream); }
  void waitForEnter() override { target_->waitForEnter(); }
  void prepareProcess() override { target_->prepareProcess(); }
  int interruptSignal() override { return target_->interruptSignal(); }
  void exitProcess(int status) override { target_->exitProcess(status); }

 private:
  Env* target_;
};

// The environment in use; Env::Default() unless a test installed another.
Env* env();

// Installs `e` (nullptr restores the default). The caller keeps ownership.
void setEnv(Env* e);

}  // namespace platform
