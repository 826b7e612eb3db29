// The tables of the node database, as shipped in schema/pelagor.sql and
// built into the program, so that a new embedded database needs no file.
#pragma once

#include <string>

namespace platform::db {

// The whole DDL script, statements separated by ";".
const std::string& schemaScript();

}  // namespace platform::db
