// mdlMain: the run sequence of one Tarnwick process, the check of its
// options and the usage screen.
#pragma once

#include <cstdint>
#include <string>

#include "CommandLine.h"
#include "logging/PrintTarget.h"
#include "platform/db/Connection.h"

namespace tarnwick {

enum RunMode : int32_t { kNothingToDo = 0, kExport = 1, kImport = 2 };

// The whole run for the given argument text; returns the exit status.
int main(const std::string& argumentText);

// Opens the run's connection to the data source "Pelagor"; for a dry run,
// ready for the transaction that keeps it from storing anything.
void openConnection(platform::db::Connection& connection, bool forDryRun = false);

// Decides export or import, completes the paths in `options` and tells the
// user on `console` what will be read and written. Shows the usage screen
// when the options ask for neither job or for both.
int32_t checkCommandLine(Options& options, IPrintTarget& console);

// The usage screen.
void showUsage(IPrintTarget& console);

}  // namespace tarnwick
