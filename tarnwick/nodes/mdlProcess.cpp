#include "mdlProcess.h"

#include <algorithm>
#include <cctype>
#include <memory>

#include "InputColumns.h"
#include "NodeTables.h"
#include "ProgramObjects.h"
#include "frontend/StdOutput.h"
#include "logging/Procedure.h"
#include "logging/RunOutcome.h"
#include "logging/classLog.h"
#include "platform/Env.h"
#include "platform/Paths.h"

namespace tarnwick {

using platform::db::LockType;
using platform::db::Recordset;
using Then = Procedure::Then;
using Failure = Procedure::Failure;

namespace {

const char* const kUnit = "mdlProcess";

// The input columns of one delivery window, by the names the reader is asked.
struct WindowColumns {
  int16_t messageType;
  const char* begin;
  const char* end;
  const char* interval;
};

const WindowColumns kWindows[] = {
    {NodeTables::kNormal, "normalbegintime", "normalendtime", "normalinterval"},
    {NodeTables::kUrgent, "urgentbegintime", "urgentendtime", "urgentinterval"},
    {NodeTables::kAdministration, "administrationbegintime", "administrationendtime", "administrationinterval"},
};

const char* const kCannotOpenAdvice =
    "       Close any applications that may be using this file and try again or use a different filename.";

// The run's one output file: the import's result file or the export file.
std::unique_ptr<platform::TextStream>& outputFile() {
  static std::unique_ptr<platform::TextStream> stream;
  return stream;
}

// The details that the last node operation left for its result line.
std::string operationDetails;

std::string lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

std::string runTimeErrorDetails(const platform::Error& error) {
  return "Run-time error " + std::to_string(error.number()) + ": " + error.description();
}

void rollBackOpenTransaction() {
  if (connection().inTransaction()) connection().rollbackTrans();
}

void openOutputFile(const std::string& fileName) {
  outputFile() = platform::env()->openTextFile(fileName, platform::IOMode::ForWriting, true,
                                               platform::TextEncoding::Cp1252);
}

// Ends the program before its job touches anything, with two console lines.
void endWithoutJob(const std::string& problem, const std::string& advice) {
  printLine(problem);
  printLine(advice);
  platform::env()->exitProcess(RunOutcome::kNoJobRan);
}

constexpr int kOpenOutputStep = 2;
constexpr int kOpenInputStep = 3;
constexpr int kReadLineStep = 61;

std::string cannotReadText(const std::string& inputFile) { return "ERROR: Cannot read " + inputFile + "."; }

std::string descriptionLine(const platform::Error& error) { return "       " + error.description(); }

// The output file is the run's record: when it cannot be opened, no job
// starts. A file another program holds, or that we may not write, comes with
// advice; any other failure with its description.
void endIfOutputCannotOpen(const Failure& failure, const std::string& fileName) {
  if (failure.line != kOpenOutputStep) return;
  bool denied = failure.error.number() == platform::err::kPermissionDenied;
  endWithoutJob("ERROR: Cannot open " + fileName + " for writing.",
                denied ? kCannotOpenAdvice : descriptionLine(failure.error));
}

// Without its result file, or without the input's headings, the import could
// account for no line: either failure ends the program before a line is
// read. A missing reader (error 91) was reported when the form was loaded and
// takes the common course.
void endIfImportCannotStart(const Failure& failure, const std::string& inputFile, const std::string& outputFileName) {
  endIfOutputCannotOpen(failure, outputFileName);
  const platform::Error& error = failure.error;
  if (failure.line == kOpenInputStep && error.number() != platform::err::kObjectNotSet) {
    endWithoutJob(cannotReadText(inputFile), descriptionLine(error));
  }
}

// The tables cannot keep a NUL inside a text: it would cut the value short.
bool holdsNulCharacter(const std::vector<std::string>& values) {
  return std::any_of(values.begin(), values.end(),
                     [](const std::string& value) { return value.find('\0') != std::string::npos; });
}

std::string validationFailureText(const std::string& value, const std::string& column) {
  return "Value failed data validation checks.  Value = " + value + " Column = " + column;
}

std::string lastValidationFailureText() {
  return validationFailureText(platform::toText(reader().LastInvalidValue()),
                               platform::toText(reader().LastInvalidColumn()));
}

// A node operation keeps a line whole: a value that fails its rule ends it
// with 5, any other failure with 6, and either way nothing of the line stays.
class NodeOperation {
 public:
  NodeOperation(const char* name, int exitLine) : p_(kUnit, name), exitLine_(exitLine) {
    operationDetails.clear();
    p_.onError(
        quillet::CSVMAN_ERROR_VALIDATIONFAILED,
        [this](const Failure&) {
          refuseValue(platform::toText(reader().LastInvalidValue()), platform::toText(reader().LastInvalidColumn()));
          return Then::LeaveCall;
        },
        false);
    p_.onOtherErrors([this](const Failure& failure) {
      p_.logFailure(failure);
      finish(kStoppedByFailure, runTimeErrorDetails(failure.error));
      return Then::LeaveCall;
    });
  }

  Procedure& procedure() { return p_; }

  int32_t run(const std::function<void()>& body) { return p_.run(body) ? result_ : kStoppedByFailure; }

  // Ends the operation with `result` after undoing its open transaction.
  void finish(int32_t result, const std::string& details = "") {
    rollBackOpenTransaction();
    result_ = result;
    operationDetails = details;
    p_.traceExit(exitLine_);
  }

  [[noreturn]] void finishNow(int32_t result, const std::string& details = "") {
    finish(result, details);
    p_.leave();
  }

  // The line's serial number and the console line that names it. An add
  // needs one: it refuses an empty serial number like an invalid value.
  std::string readSerial(const std::string& consoleLabel, bool required) {
    std::string serial;
    p_.step(2, [&] {
      serial = reader().getValue("serialno");
      if (required && serial.empty()) refuseValue(serial, "serialno");
    });
    p_.step(3, [&] { printLine(consoleLabel + serial); });
    return serial;
  }

  // Ends the operation with `result`, telling why in the log (Info) and on
  // the console.
  [[noreturn]] void finishWithNotice(int32_t result, const std::string& text) {
    Log().log(text, kInfo, p_.tag());
    printLine("      " + text);
    finishNow(result);
  }

  [[noreturn]] void refuseValue(const std::string& value, const std::string& column) {
    std::string text = validationFailureText(value, column);
    Log().log(text, kError, p_.tag());
    printLine("      " + text);
    finishNow(kValueFailedValidation, "Invalid value in column: " + column);
  }

  // The stored code of a codec text: G711 or G729 in either case, empty for G729.
  void setCodec(Recordset& rs, const std::string& codec) {
    std::string lower = lowerCase(codec);
    if (lower == "g711") {
      rs.setField("DefaultCodec", int16_t{NodeTables::kG711});
    } else if (lower == "g729" || lower.empty()) {
      rs.setField("DefaultCodec", int16_t{NodeTables::kG729});
    } else {
      Log().log("Invalid Codec = " + codec, kWarning, p_.tag());
      finishNow(kInvalidCodec, "Invalid Codec = " + codec);
    }
  }

  void commit() {
    connection().commitTrans();
    result_ = kDone;
  }

 private:
  Procedure p_;
  int exitLine_;
  int32_t result_ = kDone;
};

std::string dialSequenceOrDefault() {
  std::string sequence = reader().getValue("dialsequence");
  return sequence.empty() ? "N" : sequence;
}

// A new row of the node's kind table (OctelNode or VPIMNode), keyed by the
// line's serial number; its other fields follow.
void addKindRow(Recordset& rs, const std::string& table) {
  NodeTables::openForAdding(rs, table, LockType::Optimistic);
  rs.addNew();
  rs.setField("SerialNo", reader().getValue("serialno"));
}

// The Octel row's values of the current line (a new or a stored row).
void setOctelFields(Recordset& rs) {
  rs.setField("PhoneNo", reader().getValue("phoneno"));
  rs.setField("Ext", reader().getValue("extension"));
  rs.setField("DialingSequence", dialSequenceOrDefault());
  rs.update();
  rs.close();
}

// The Veltro row's values of the current line (a new or a stored row).
void setVeltroFields(Recordset& rs) {
  rs.setField("DomainName", reader().getValue("veltroservername"));
  rs.setField("ProxyDomain", reader().getValue("veltrosmtpsuffix"));
  rs.update();
  rs.close();
}

void setWindowTimes(Recordset& rs, const WindowColumns& window) {
  rs.setField("BeginTime", formatWindowTime(reader().getValue(window.begin), true));
  rs.setField("EndTime", formatWindowTime(reader().getValue(window.end), false));
  std::string interval = reader().getValue(window.interval);
  if (!interval.empty()) rs.setField("Interval", interval);
}

// Three new window rows, written with one batch update.
void addWindows() {
  Recordset rs;
  NodeTables::openForAdding(rs, "DeliveryWindow", LockType::BatchOptimistic);
  for (const auto& window : kWindows) {
    rs.addNew();
    rs.setField("WindowID", window.messageType);
    rs.setField("MessageType", window.messageType);
    rs.setField("SerialNo", reader().getValue("serialno"));
    setWindowTimes(rs, window);
  }
  rs.updateBatch();
  rs.close();
}

// The node's three window rows, found by message type; a missing row fails.
void changeWindows(const std::string& serial) {
  Recordset rs;
  NodeTables::openBySerial(rs, "DeliveryWindow", serial, LockType::BatchOptimistic);
  for (const auto& window : kWindows) {
    if (window.messageType != NodeTables::kNormal) rs.moveFirst();
    rs.find("MessageType = " + std::to_string(window.messageType));
    setWindowTimes(rs, window);
  }
  rs.updateBatch();
  rs.close();
}

std::string padRight(std::string text, size_t width) {
  if (text.size() < width) text.resize(width, ' ');
  return text;
}

std::string valueAt(const std::vector<std::string>& values, int index) {
  return index >= 1 && static_cast<size_t>(index) <= values.size() ? values[static_cast<size_t>(index) - 1] : "";
}

// The outcome of one input line, set anew for every line.
struct LineOutcome {
  bool decided = false;
  bool isError = false;
  std::string details;

  void succeed() { decided = true; }
  void fail(const std::string& text) {
    decided = true;
    isError = true;
    details = text;
  }
};

std::string detailsFor(int32_t code) {
  switch (code) {
    case kSerialNotFound: return "Node with this serial number not found in Node Table";
    case kSerialExists: return "Node with this serial number already exists in Node Table";
    default: return operationDetails;
  }
}

void dispatch(const std::string& action, LineOutcome& line) {
  int32_t code = kDone;
  if (action == "a") {
    code = addNode();
  } else if (action == "c") {
    code = changeNode();
  } else if (action == "d") {
    code = deleteNode();
  } else {
    line.fail("Invalid value in column: action");
    return;
  }
  if (code == kDone) {
    line.succeed();
  } else {
    line.fail(detailsFor(code));
  }
}

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
    line.set(cell, [&] { return platform::toText(rs.field(kInputColumns[cell].name)); });
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

// Writes one line per node of the open record set; only nodes whose line
// reached the file are counted.
void exportNodes(Procedure& p, Recordset& rs, const std::string& kindLabel,
                 void (*fillCells)(ExportLine&, Recordset&), int32_t& count) {
  bool atEnd = true;
  auto checkEnd = [&] {
    atEnd = true;
    atEnd = rs.eof();
  };
  p.step(50, checkEnd);
  while (!atEnd) {
    ExportLine line(p);
    fillCells(line, rs);
    const std::string& serial = line.cells()[kSerialCell];
    std::string text = kindLabel + line.cells()[kNameCell] + " - #" + serial;
    p.step(53, [&] {
      printLine(text);
      Log().log(text, kVerInfo, p.tag());
    });
    p.step(54, [&] {
      if (writeOutput(line.cells())) {
        ++count;
        return;
      }
      std::string error = "ERROR: Node #" + serial + " could not be written to the export file and was not exported.";
      Log().log(error, kError, p.tag());
      printLine("  " + error);
    });
    p.step(55, [&] { rs.moveNext(); });
    p.step(56, checkEnd);
  }
}

}  // namespace

std::vector<std::string> getColumnNames() {
  std::vector<std::string> names;
  for (const auto& column : kInputColumns) names.emplace_back(column.name);
  return names;
}

void setColumnRules() {
  for (const auto& column : kInputColumns) reader().setColumnValidation(column.name, column.pattern);
}

bool writeOutput(const std::vector<std::string>& values, std::optional<bool> isError,
                 const std::optional<std::string>& details) {
  Procedure p(kUnit, "writeOutput", Procedure::Tracing::Off);
  bool written = false;
  p.run([&] {
    std::string line;
    p.step(1, [&] {
      for (const auto& value : values) line += "\"" + value + "\",";
    });
    p.step(2, [&] {
      if (line.empty()) platform::raise(platform::err::kInvalidArgument);
      line.pop_back();
    });
    p.step(3, [&] {
      if (isError) line += std::string(",\"") + (*isError ? "Error" : "Successful") + "\"";
    });
    p.step(4, [&] {
      if (details) line += ",\"" + *details + "\"";
    });
    p.step(5, [&] {
      if (!outputFile()) platform::raise(platform::err::kObjectNotSet);
      outputFile()->writeLine(line);
      written = true;
    });
    p.step(6, [&] { Log().log(line, kVerInfo, p.tag()); });
  });
  return written;
}

std::string formatWindowTime(const std::string& text, bool isBegin) {
  std::string result = text.empty() ? (isBegin ? "12:00AM" : "11:59PM") : text;
  if (result.front() == '0') result.erase(0, 1);
  return result;
}

void exportData(const std::string& fileName) {
  Procedure p(kUnit, "exportData");
  p.onOtherErrors([&](const Failure& failure) {
    p.logFailure(failure);
    endIfOutputCannotOpen(failure, fileName);
    return Then::NextStep;
  });
  int32_t count = 0;
  p.run([&] {
    p.step(kOpenOutputStep, [&] { openOutputFile(fileName); });
    p.step(3, [] { writeOutput(getColumnNames()); });
    Recordset rs;
    p.step(5, [&] { NodeTables::openOctelNodes(rs); });
    exportNodes(p, rs, "  Octel Node ", fillOctelCells, count);
    p.step(6, [&] { rs.close(); });
    p.step(7, [&] { NodeTables::openVeltroNodes(rs); });
    exportNodes(p, rs, "  Veltro Node ", fillVeltroCells, count);
    p.step(8, [] {
      printLine("Finished exporting data.");
      printLine();
    });
    p.step(9, [&] {
      std::string total = "Total nodes exported: " + std::to_string(count);
      Log().log(total, kInfo, p.tag());
      printLine(total);
      printLine();
    });
    p.traceExit(10);
  });
}

void importData(const std::string& inputFile, const std::string& outputFileName) {
  Procedure p(kUnit, "importData");
  int32_t total = 0;
  int32_t successes = 0;
  int32_t failures = 0;
  int32_t unwrittenResults = 0;  // result lines the output file refused; the log holds them
  size_t headingCount = 0;
  int serialIndex = 0;
  bool moreLines = true;
  LineOutcome line;
  // Besides the files that keep the import from starting, a line that cannot
  // be read ends the loop: the lines before it keep their results, and the
  // summary follows.
  p.onOtherErrors([&](const Failure& failure) {
    p.logFailure(failure);
    endIfImportCannotStart(failure, inputFile, outputFileName);
    if (failure.line == kReadLineStep) {
      printLine(cannotReadText(inputFile));
      printLine(descriptionLine(failure.error));
      moreLines = false;
    }
    return Then::NextStep;
  });
  p.onError(
      quillet::CSVMAN_ERROR_VALIDATIONFAILED,
      [&](const Failure&) {
        std::string text = lastValidationFailureText();
        Log().log(text, kError, p.tag());
        printLine("    " + text);
        line.fail("Invalid value in column: " + platform::toText(reader().LastInvalidColumn()));
        return Then::NextStep;
      },
      false);
  p.onError(
      quillet::CSVMAN_ERROR_COLUMNNOTFOUND,
      [&](const Failure& failure) {
        p.logFailure(failure);
        line.fail(runTimeErrorDetails(failure.error));
        return Then::NextStep;
      },
      false);
  p.onError(
      platform::err::kInputPastEnd,
      [&](const Failure&) {
        moreLines = false;
        return Then::NextStep;
      },
      false);
  p.run([&] {
    p.step(kOpenOutputStep, [&] { openOutputFile(outputFileName); });
    p.step(kOpenInputStep, [&] {
      reader().CSVFile(inputFile);
      std::vector<std::string> header = reader().OpenCSV(true, true);
      headingCount = header.size();
      if (reader().isUtf8()) outputFile()->setEncoding(platform::TextEncoding::Utf8WithMark);
      header.insert(header.end(), {"Result", "Details"});
      writeOutput(header);
    });
    p.step(4, [] { setColumnRules(); });
    p.step(5, [&] { serialIndex = reader().getColumnIndex("SerialNo"); });
    p.step(6, [] {
      printLine();
      printLine("Processing data...");
    });
    while (moreLines) {
      p.step(60, [&] {
        moreLines = false;
        moreLines = !reader().EOF_();
      });
      if (!moreLines) break;
      line = LineOutcome{};
      std::vector<std::string> values;
      p.step(kReadLineStep, [&] { values = reader().ReadLine(); });
      if (!moreLines) break;
      p.step(62, [&] {
        printLine("  Processing Line: " + padRight(std::to_string(reader().CurrentLine()), 4) +
                  " SerialNo = " + valueAt(values, serialIndex));
      });
      ++total;
      if (values.size() < headingCount) {
        line.fail("Line has fewer values than the header");
      } else if (holdsNulCharacter(values)) {
        line.fail("Line holds a NUL character");
      }
      std::string action;
      if (!line.decided) p.step(64, [&] { action = lowerCase(reader().getValue("action")); });
      if (!line.decided) p.step(65, [&] { dispatch(action, line); });
      if (line.isError) {
        ++failures;
      } else {
        ++successes;
      }
      p.step(66, [&] {
        if (!writeOutput(values, line.isError, line.details)) ++unwrittenResults;
      });
    }
    p.step(7, [] { reader().CloseCSV(); });
    p.step(8, [] {
      printLine("Finished processing data.");
      printLine();
    });
    p.step(9, [&] {
      std::string summary = "Total nodes effected: " + std::to_string(total) + " Successful changes: " +
                            std::to_string(successes) + " Errors: " + std::to_string(failures);
      Log().log(summary, kInfo, p.tag());
      printLine(summary);
      printLine();
    });
    p.step(10, [&] {
      if (failures == 0 && unwrittenResults == 0) return;
      RunOutcome::noteFailure();
      printLine("****************ERRORS ENCOUNTERED*****************");
      if (unwrittenResults > 0) {
        printLine("ERROR: " + std::to_string(unwrittenResults) +
                  " result lines could not be written to the output file; the log file holds them.");
      }
      printLine("Check the output file for more detailed error information: " +
                platform::absolutePathName(outputFileName));
    });
    p.traceExit(11);
  });
}

int32_t addNode() {
  NodeOperation op("addNode", 13);
  Procedure& p = op.procedure();
  return op.run([&] {
    std::string serial = op.readSerial("    Adding Node #", true);
    bool octel = false;
    Recordset rs;
    // The check runs inside the add's transaction, so a node added by
    // another run in between cannot slip past it.
    p.step(4, [&] {
      connection().beginTrans();
      NodeTables::openNode(rs, serial, LockType::ReadOnly);
      if (rs.recordCount() == 0) return;
      op.finishWithNotice(kSerialExists, "Error adding node #" + serial +
                                             " - Node with that serial number already exists in Node Table");
    });
    p.step(5, [&] { rs.close(); });
    p.step(6, [&] {
      NodeTables::openForAdding(rs, "Node", LockType::Optimistic);
      rs.addNew();
      rs.setField("SerialNo", reader().getValue("serialno"));
      rs.setField("Name", reader().getValue("name"));
    });
    p.step(7, [&] {
      std::string nodeType = reader().getValue("nodetype");
      std::string lower = lowerCase(nodeType);
      octel = lower == "o";
      if (octel || lower == "v") {
        rs.setField("ServerType", int16_t{octel ? NodeTables::kOctel : NodeTables::kVeltro});
        return;
      }
      Log().log("Invalid NodeType = " + nodeType, kWarning, p.tag());
      op.finishNow(kInvalidNodeType, "Invalid NodeType = " + nodeType);
    });
    if (!octel) p.step(8, [&] { op.setCodec(rs, reader().getValue("codec")); });
    p.step(9, [&] {
      rs.update();
      rs.close();
    });
    if (octel) {
      p.step(10, [&] {
        addKindRow(rs, "OctelNode");
        setOctelFields(rs);
      });
      p.step(11, [] { addWindows(); });
    } else {
      p.step(11, [&] {
        addKindRow(rs, "VPIMNode");
        setVeltroFields(rs);
      });
    }
    p.step(12, [&] { op.commit(); });
    p.traceExit(13);
  });
}

int32_t changeNode() {
  NodeOperation op("changeNode", 12);
  Procedure& p = op.procedure();
  return op.run([&] {
    std::string serial = op.readSerial("    Changing Node #", false);
    bool octel = false;
    Recordset rs;
    p.step(4, [&] {
      connection().beginTrans();
      NodeTables::openNode(rs, serial, LockType::Optimistic);
      if (rs.recordCount() > 0) return;
      op.finishWithNotice(kSerialNotFound, "Error changing node #" + serial +
                                               " - Node with this serial number not found in Node Table");
    });
    p.step(6, [&] { octel = platform::toText(rs.field("ServerType")) == std::to_string(NodeTables::kOctel); });
    p.step(7, [&] { rs.setField("Name", reader().getValue("name")); });
    if (!octel) p.step(8, [&] { op.setCodec(rs, reader().getValue("codec")); });
    p.step(9, [&] {
      rs.update();
      rs.close();
    });
    if (octel) {
      p.step(10, [&] {
        NodeTables::openBySerial(rs, "OctelNode", serial, LockType::Optimistic);
        setOctelFields(rs);
        changeWindows(serial);
      });
    } else {
      p.step(11, [&] {
        NodeTables::openBySerial(rs, "VPIMNode", serial, LockType::Optimistic);
        setVeltroFields(rs);
      });
    }
    p.step(12, [&] { op.commit(); });
    p.traceExit(12);
  });
}

int32_t deleteNode() {
  NodeOperation op("deleteNode", 11);
  Procedure& p = op.procedure();
  return op.run([&] {
    std::string serial = op.readSerial("    Deleting Node #", false);
    Recordset rs;
    p.step(4, [&] {
      NodeTables::openNodeToDelete(rs, serial);
      if (rs.recordCount() == 1) return;
      op.finishWithNotice(kSerialNotFound, "Error deleting node #" + serial + " - Node not found in Node Table");
    });
    p.step(6, [&] {
      Log().log("Deleting Node: " + platform::toText(rs.field("Name")) + " - #" + serial, kInfo, p.tag());
    });
    p.step(7, [&] { Log().dumpRecordsets(&rs, p.tag()); });
    p.step(8, [&] { rs.close(); });
    p.step(9, [&] {
      connection().beginTrans();
      NodeTables::deleteNodeRows(rs, serial);
      op.commit();
    });
    p.traceExit(11);
  });
}

}  // namespace tarnwick
