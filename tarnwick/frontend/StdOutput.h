// StdOutput: the program's console writer. Every print goes through it to
// standard output, converted to the console's character set. The entry
// sequence makes one and hands it down as the run's print target.
#pragma once

#include <cstdint>
#include <string>

#include "logging/PrintTarget.h"

namespace tarnwick {

class StdOutput : public IPrintTarget {
 public:
  void WriteText(const std::string& text) override;
  void Column(int32_t n) override;
  int32_t Column() const override { return column_; }

 private:
  void writeStdOut(const std::string& text);
  int32_t column_ = 0;
};

}  // namespace tarnwick
