// mdlProcess: the export of every node in the import's column layout.
#include <algorithm>
#include <vector>

#include "InputColumns.h"
#include "logging/classLog.h"
#include "mdlProcess.h"
#include "mdlProcessParts.h"
#include "platform/Text.h"

namespace tarnwick {

using platform::db::Recordset;
using process::kUnit;
using Then = Procedure::Then;
using Failure = Procedure::Failure;

namespace {

enum ExportColumn : size_t {
  kNodeTypeCell = 0,
  kSerialCell = 2,
  kNameCell,
  kServerNameCell,
  kSmtpSuffixCell,
  kCodecCell,
  kPhoneCell,
  kExtensionCell,
  kDialSequenceCell,
  kFirstWindowCell
};

// How a stored value is written in its cell.
enum class CellForm { Plain, WindowValue, Codec };

// Cells of a node line that come from consecutive columns of the node walk.
struct CellRun {
  size_t firstCell;
  size_t cells;
  int firstColumn;
  CellForm form;
};

// A kind of node: its NodeType cell, the label of its console and log line,
// and where its other cells come from.
struct NodeKind {
  const char* nodeType;
  const char* label;
  CellRun runs[3];
};

constexpr CellRun kSerialAndName = {kSerialCell, 2, NodeTables::kSerialNoColumn, CellForm::Plain};
constexpr NodeKind kOctel = {"O",
                             "  Octel Node ",
                             {kSerialAndName,
                              {kPhoneCell, 3, NodeTables::kFirstKindColumn, CellForm::Plain},
                              {kFirstWindowCell, 9, NodeTables::kFirstWindowColumn, CellForm::WindowValue}}};
constexpr NodeKind kVeltro = {"V",
                              "  Veltro Node ",
                              {kSerialAndName,
                               {kServerNameCell, 2, NodeTables::kFirstKindColumn, CellForm::Plain},
                               {kCodecCell, 1, NodeTables::kFirstKindColumn + 2, CellForm::Codec}}};

std::string codecCell(const platform::Value& stored) {
  std::string code = platform::toText(stored);
  if (code == std::to_string(NodeTables::kG711)) return "G711";
  if (code == std::to_string(NodeTables::kG729)) return "G729";
  return "";
}

std::string cellText(const platform::Value& stored, CellForm form) {
  switch (form) {
    case CellForm::WindowValue: return process::windowCell(stored);
    case CellForm::Codec: return codecCell(stored);
    default: return platform::toText(stored);
  }
}

// The 19 cells of the node on the current row, read by position. A read
// that fails leaves its cell and those after it empty.
void readCells(Recordset& rs, const NodeKind& kind, std::vector<std::string>& cells) {
  for (auto& cell : cells) cell.clear();
  cells[kNodeTypeCell] = kind.nodeType;
  for (const CellRun& run : kind.runs) {
    for (size_t i = 0; i < run.cells; ++i) {
      cells[run.firstCell + i] = cellText(rs.fieldAt(run.firstColumn + static_cast<int>(i)), run.form);
    }
  }
}

// Whether Windows-1252 holds every cell.
bool fitsCodePage(const std::vector<std::string>& cells) {
  std::string bytes;
  return std::all_of(cells.begin(), cells.end(),
                     [&](const std::string& cell) { return platform::tryEncodeCp1252(cell, bytes); });
}

// Writes one line per node of the open record set, until a signal asks the
// run to stop; only nodes whose line reached the file are counted. A quiet
// export names its nodes in the log only.
void exportNodes(ProgramObjects& objects, Procedure& p, Recordset& rs, const NodeKind& kind, const JobOptions& job,
                 int32_t& count) {
  bool atEnd = true;
  auto checkEnd = [&](int line) { p.readWithDefault(line, atEnd, true, [&] { return rs.eof(); }); };
  checkEnd(50);
  std::vector<std::string> cells(std::size(kInputColumns));
  while (!atEnd && platform::env()->interruptSignal() == 0) {
    p.step(52, [&] { readCells(rs, kind, cells); });
    const std::string& serial = cells[kSerialCell];
    std::string text = kind.label + cells[kNameCell] + " - #" + serial;
    p.step(53, [&] {
      if (!job.quiet) printLine(objects.console, text);
      Log().log(text, kVerInfo, p.tag());
    });
    p.step(54, [&] {
      if (writeOutput(objects, cells)) {
        ++count;
        return;
      }
      std::string error = "ERROR: Node #" + serial + " could not be written to the export file and was not exported.";
      if (!job.utf8Export && !fitsCodePage(cells)) error += " (use /u to export as UTF-8)";
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
void exportData(ProgramObjects& objects, const std::string& fileName, const JobOptions& job) {
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
    p.step(process::kOpenOutputStep, [&] {
      exportFile = process::openExportFile(
          objects, fileName, job.utf8Export ? platform::TextEncoding::Utf8WithMark : platform::TextEncoding::Cp1252);
    });
    p.step(3, [&] { writeOutput(objects, getColumnNames()); });
    Recordset rs;
    p.step(5, [&] { tables.openOctelNodes(rs); });
    exportNodes(objects, p, rs, kOctel, job, count);
    p.step(6, [&] { rs.close(); });
    p.step(7, [&] { tables.openVeltroNodes(rs); });
    exportNodes(objects, p, rs, kVeltro, job, count);
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
