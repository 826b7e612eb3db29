// mdlProcess: the export of every node in the import's column layout.
#include <functional>

#include "InputColumns.h"
#include "logging/classLog.h"
#include "mdlProcess.h"
#include "mdlProcessParts.h"

namespace tarnwick {

using platform::db::Recordset;
using process::kUnit;
using Then = Procedure::Then;
using Failure = Procedure::Failure;

namespace {

// The 19 cells of one node's export line; a value that cannot be read stays
// an empty cell.
class ExportLine {
 public:
  explicit ExportLine(Procedure& p) : p_(p), cells_(std::size(kInputColumns)) {}

  void set(size_t column, const std::function<std::string()>& value) {
    p_.step(100 + static_cast<int>(column), [&] { cells_[column] = value(); });
  }
  const std::vector<std::string>& cells() const { return cells_; }

 private:
  Procedure& p_;
  std::vector<std::string> cells_;
};

enum ExportColumn : size_t {
  kNodeTypeCell = 0, kSerialCell = 2, kNameCell, kServerNameCell, kSmtpSuffixCell, kCodecCell,
  kPhoneCell, kExtensionCell, kDialSequenceCell, kFirstWindowCell
};

std::string codecCell(const platform::Value& stored) {
  std::string code = platform::toText(stored);
  if (code == std::to_string(NodeTables::kG711)) return "G711";
  if (code == std::to_string(NodeTables::kG729)) return "G729";
  return "";
}

void fillOctelCells(ExportLine& line, Recordset& rs) {
  line.set(kNodeTypeCell, [] { return "O"; });
  line.set(kSerialCell, [&] { return platform::toText(rs.field("SerialNo")); });
  line.set(kNameCell, [&] { return platform::toText(rs.field("Name")); });
  line.set(kPhoneCell, [&] { return platform::toText(rs.field("PhoneNo")); });
  line.set(kExtensionCell, [&] { return platform::toText(rs.field("Ext")); });
  line.set(kDialSequenceCell, [&] { return platform::toText(rs.field("DialingSequence")); });
  for (size_t cell = kFirstWindowCell; cell < std::size(kInputColumns); ++cell) {
    line.set(cell, [&] { return process::windowCell(rs.field(kInputColumns[cell].name)); });
  }
}

void fillVeltroCells(ExportLine& line, Recordset& rs) {
  line.set(kNodeTypeCell, [] { return "V"; });
  line.set(kSerialCell, [&] { return platform::toText(rs.field("SerialNo")); });
  line.set(kNameCell, [&] { return platform::toText(rs.field("Name")); });
  line.set(kServerNameCell, [&] { return platform::toText(rs.field("DomainName")); });
  line.set(kSmtpSuffixCell, [&] { return platform::toText(rs.field("ProxyDomain")); });
  line.set(kCodecCell, [&] { return codecCell(rs.field("DefaultCodec")); });
}

// Writes one line per node of the open record set, until a signal asks the
// run to stop; only nodes whose line reached the file are counted.
void exportNodes(ProgramObjects& objects, Procedure& p, Recordset& rs, const std::string& kindLabel,
                 void (*fillCells)(ExportLine&, Recordset&), int32_t& count) {
  bool atEnd = true;
  auto checkEnd = [&](int line) { p.readWithDefault(line, atEnd, true, [&] { return rs.eof(); }); };
  checkEnd(50);
  while (!atEnd && platform::env()->interruptSignal() == 0) {
    ExportLine line(p);
    fillCells(line, rs);
    const std::string& serial = line.cells()[kSerialCell];
    std::string text = kindLabel + line.cells()[kNameCell] + " - #" + serial;
    p.step(53, [&] {
      printLine(objects.console, text);
      Log().log(text, kVerInfo, p.tag());
    });
    p.step(54, [&] {
      if (writeOutput(objects, line.cells())) {
        ++count;
        return;
      }
      std::string error = "ERROR: Node #" + serial + " could not be written to the export file and was not exported.";
      Log().log(error, kError, p.tag());
      printLine(objects.console, "  " + error);
    });
    p.step(55, [&] { rs.moveNext(); });
    checkEnd(56);
  }
}

constexpr int kReplaceExportStep = 57;

// The export file takes the place of its target only when the export ran
// through, without a signal and without a failure, and every write reached
// the file.
bool replaceExportFile(Procedure& p, platform::ReplacementFile* file) {
  if (file == nullptr || p.errorCount() > 0 || platform::env()->interruptSignal() != 0) return false;
  try {
    file->commit();
    return true;
  } catch (const platform::Error& error) {
    p.logFailure({error, kReplaceExportStep});
    return false;
  }
}

// An export that did not complete removes its temporary file; the file it
// was to replace stays as it was.
void abandonExportFile(ProgramObjects& objects, Procedure& p, platform::ReplacementFile* file,
                       const std::string& fileName) {
  if (file == nullptr) return;
  file->discard();
  const bool interrupted = platform::env()->interruptSignal() != 0;
  std::string text = std::string(interrupted ? "Export interrupted" : "ERROR: The export did not complete") +
                     "; the temporary file was removed and " + fileName + " was left as it was.";
  Log().log(text, interrupted ? kWarning : kError, p.tag());
  printLine(objects.console, text);
}

}  // namespace

// Every failure shows on the console too: an export that lost nodes to a
// failing database must not look complete.
void exportData(ProgramObjects& objects, const std::string& fileName) {
  Procedure p(kUnit, "exportData");
  p.onOtherErrors([&](const Failure& failure) {
    p.logFailure(failure);
    process::endIfOutputCannotOpen(objects, failure, fileName);
    printLine(objects.console, "  ERROR: Reading the nodes failed: " + failure.error.description());
    return Then::NextStep;
  });
  int32_t count = 0;
  platform::ReplacementFile* exportFile = nullptr;
  NodeTables tables(objects.connection);
  bool completed = p.run([&] {
    p.step(process::kOpenOutputStep, [&] { exportFile = process::openExportFile(objects, fileName); });
    p.step(3, [&] { writeOutput(objects, getColumnNames()); });
    Recordset rs;
    p.step(5, [&] { tables.openOctelNodes(rs); });
    exportNodes(objects, p, rs, "  Octel Node ", fillOctelCells, count);
    p.step(6, [&] { rs.close(); });
    p.step(7, [&] { tables.openVeltroNodes(rs); });
    exportNodes(objects, p, rs, "  Veltro Node ", fillVeltroCells, count);
    if (!replaceExportFile(p, exportFile)) {
      abandonExportFile(objects, p, exportFile, fileName);
      p.traceExit(10);
      return;
    }
    p.step(8, [&] {
      printLine(objects.console, "Finished exporting data.");
      printLine(objects.console);
    });
    p.step(9, [&] {
      std::string total = "Total nodes exported: " + std::to_string(count);
      Log().log(total, kInfo, p.tag());
      printLine(objects.console, total);
      printLine(objects.console);
    });
    p.traceExit(10);
  });
  if (completed) return;
  printLine(objects.console, "ERROR: The export stopped after too many errors; not every node was exported.");
  abandonExportFile(objects, p, exportFile, fileName);
}

}  // namespace tarnwick
