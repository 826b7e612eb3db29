// The one failure type of the system: an error number with its description,
// as the procedures log it ("Err.Number = ... Err.Description = ...").
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace platform {

// Numbers of the platform's own failures.
namespace err {
constexpr int32_t kInvalidArgument = 5;      // "Invalid procedure call or argument"
constexpr int32_t kSubscriptOutOfRange = 9;  // "Subscript out of range"
constexpr int32_t kFileNotFound = 53;
constexpr int32_t kFileAlreadyOpen = 55;     // another process is writing the file
constexpr int32_t kDiskFull = 61;
constexpr int32_t kInputPastEnd = 62;
constexpr int32_t kPermissionDenied = 70;
constexpr int32_t kPathFileAccess = 75;
constexpr int32_t kPathNotFound = 76;
constexpr int32_t kObjectNotSet = 91;
constexpr int32_t kObjectRequired = 424;
constexpr int32_t kCannotCreateObject = 429;
constexpr int32_t kDuplicateKey = 457;
constexpr int32_t kReadOnlyAtRunTime = 382;
constexpr int32_t kReadOnlyAtDesignTime = 387;
constexpr int32_t kDatabase = -2147467259;  // carries the driver's own message
}  // namespace err

class Error : public std::runtime_error {
 public:
  Error(int32_t number, std::string description);

  // An error with the platform's standard description for `number`.
  static Error fromNumber(int32_t number);

  int32_t number() const { return number_; }
  const std::string& description() const { return description_; }

 private:
  int32_t number_;
  std::string description_;
};

// The standard description of a platform error number ("" when unknown).
std::string standardDescription(int32_t number);

// Throws Error::fromNumber(number).
[[noreturn]] void raise(int32_t number);

}  // namespace platform
