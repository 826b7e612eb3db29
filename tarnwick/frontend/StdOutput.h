// StdOutput: the program's one console writer. Every print goes through it
// to standard output, converted to the console's character set.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

// Something texts can be printed to, keeping track of the output column.
class IPrintTarget {
 public:
  virtual ~IPrintTarget() = default;
  // Writes `text` and moves the column past it.
  virtual void WriteText(const std::string& text) = 0;
  // Pads with spaces up to column `n` when it lies ahead; sets the column.
  virtual void Column(int32_t n) = 0;
  virtual int32_t Column() const = 0;
};

class StdOutput : public IPrintTarget {
 public:
  void WriteText(const std::string& text) override;
  void Column(int32_t n) override;
  int32_t Column() const override { return column_; }

  // While the console is held, what is written is kept, and it goes out in
  // the order written when the last hold is released. Holds nest.
  void hold() { ++holds_; }
  void release();

 private:
  void writeStdOut(const std::string& text);
  int32_t column_ = 0;
  int holds_ = 0;
  std::string held_;  // bytes for standard output, already converted
};

// The program-wide console writer, created on first use.
StdOutput& Console();

// Holds the console for as long as it lives, so that a console nobody reads
// (a pager, Ctrl-S) cannot block the program while it holds something else.
class ConsoleHold {
 public:
  ConsoleHold() { Console().hold(); }
  ~ConsoleHold() { Console().release(); }
  ConsoleHold(const ConsoleHold&) = delete;
  ConsoleHold& operator=(const ConsoleHold&) = delete;
};

// Prints `text` followed by CR LF.
void printLine(const std::string& text = "");

}  // namespace tarnwick
