// The program-wide objects that the node procedures share: the database
// connection (created on first use, opened once by the entry sequence) and
// the reader control hosted by the hidden form.
#pragma once

#include <memory>

#include "platform/db/Connection.h"
#include "quillet/Quillet.h"

namespace tarnwick {

platform::db::Connection& connection();

// The reader control; fails with Error 91 while no reader is loaded.
quillet::IucQuillet& reader();
void setReader(std::unique_ptr<quillet::IucQuillet> control);

}  // namespace tarnwick
