#include "ProgramObjects.h"

#include "platform/Error.h"

namespace tarnwick {

quillet::IucQuillet& ProgramObjects::reader() const {
  if (!readerControl) platform::raise(platform::err::kObjectNotSet);
  return *readerControl;
}

}  // namespace tarnwick
