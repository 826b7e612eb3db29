// Files as text streams for the Linux Env: lines read in chunks and decoded,
// lines written whole (or in blocks), and the errno values those calls give
// mapped to the platform's errors once.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <utility>

#include "Env.h"
#include "Error.h"
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

[[noreturn]] void raiseSystemError(int error, int32_t whenMissing) { raise(errorNumberFor(error, whenMissing)); }

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
    buffer_.resize(kept + kIoBlockBytes);
    ssize_t got;
    do {
      got = ::read(file_.get(), buffer_.data() + kept, kIoBlockBytes);
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

}  // namespace

std::unique_ptr<TextStream> openStreamOn(FileDescriptor file, IOMode mode, TextEncoding encoding) {
  return std::make_unique<FileTextStream>(std::move(file), mode, encoding);
}

std::unique_ptr<BlockTextStream> openBlockStreamOn(FileDescriptor file, TextEncoding encoding) {
  return std::make_unique<FileTextStream>(std::move(file), IOMode::ForWriting, encoding, kIoBlockBytes);
}

}  // namespace platform
