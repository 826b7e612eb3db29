// ProgramObjects: what the import, the export and the node operations work
// with. The entry sequence builds one and hands it down: the console, the
// database connection, the reader control that the hidden form hosts and the
// run's one output file.
#pragma once

#include <memory>

#include "RunConsole.h"
#include "logging/PrintTarget.h"
#include "platform/Env.h"
#include "platform/db/Connection.h"
#include "quillet/Quillet.h"

namespace tarnwick {

struct ProgramObjects {
  explicit ProgramObjects(IPrintTarget& printTarget) : console(printTarget) {}

  // The reader control; fails with Error 91 while none is loaded.
  quillet::IucQuillet& reader() const;

  RunConsole console;
  platform::db::Connection connection;
  std::unique_ptr<quillet::IucQuillet> readerControl;  // from loading the form to unloading it
  std::unique_ptr<platform::TextStream> outputFile;    // the import's result file or the export file
};

}  // namespace tarnwick
