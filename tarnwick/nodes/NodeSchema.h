// The tables of the node database, as shipped in schema/pelagor.sql for
// server administrators and built into the program, so that a new embedded
// database needs no file beside it.
#pragma once

#include <string>

namespace tarnwick {

// The whole DDL script, statements separated by ";".
const std::string& nodeSchema();

}  // namespace tarnwick
