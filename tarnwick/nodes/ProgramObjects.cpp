#include "ProgramObjects.h"

#include "platform/Error.h"

namespace tarnwick {

namespace {
std::unique_ptr<quillet::IucQuillet>& readerSlot() {
  static std::unique_ptr<quillet::IucQuillet> slot;
  return slot;
}
}  // namespace

platform::db::Connection& connection() {
  static platform::db::Connection conn;
  return conn;
}

quillet::IucQuillet& reader() {
  if (!readerSlot()) platform::raise(platform::err::kObjectNotSet);
  return *readerSlot();
}

void setReader(std::unique_ptr<quillet::IucQuillet> control) { readerSlot() = std::move(control); }

}  // namespace tarnwick
