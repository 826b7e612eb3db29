#include "Error.h"

namespace platform {

Error::Error(int32_t number, std::string description)
    : std::runtime_error(description), number_(number), description_(std::move(description)) {}

Error Error::fromNumber(int32_t number) { return Error(number, standardDescription(number)); }

std::string standardDescription(int32_t number) {
  switch (number) {
    case err::kInvalidArgument: return "Invalid procedure call or argument";
    case err::kSubscriptOutOfRange: return "Subscript out of range";
    case err::kFileNotFound: return "File not found";
    case err::kFileAlreadyOpen: return "File already open";
    case err::kDiskFull: return "Disk full";
    case err::kInputPastEnd: return "Input past end of file";
    case err::kPermissionDenied: return "Permission denied";
    case err::kPathFileAccess: return "Path/File access error";
    case err::kPathNotFound: return "Path not found";
    case err::kObjectNotSet: return "Object variable or With block variable not set";
    case err::kObjectRequired: return "Object required";
    case err::kCannotCreateObject: return "ActiveX component can't create object";
    case err::kDuplicateKey: return "This key is already associated with an element of this collection";
    case err::kReadOnlyAtRunTime: return "Set not supported at runtime";
    case err::kReadOnlyAtDesignTime: return "Set not permitted";
    default: return "";
  }
}

void raise(int32_t number) { throw Error::fromNumber(number); }

}  // namespace platform
