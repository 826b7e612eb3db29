// IPrintTarget: where console lines go. The console writer of the front end
// (StdOutput) implements it; the import, the export and the node operations
// print through the one the entry sequence hands them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Text.h"

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

// The column after `text` is written at `column`: the characters after its
// last CR LF, or `column` moved on by its characters when it holds none.
inline int32_t columnAfter(int32_t column, const std::string& text) {
  size_t lineBreak = text.rfind("\r\n");
  if (lineBreak == std::string::npos) return column + static_cast<int32_t>(platform::utf8Length(text));
  return static_cast<int32_t>(platform::utf8Length(std::string_view(text).substr(lineBreak + 2)));
}

// Prints `text` followed by CR LF.
inline void printLine(IPrintTarget& target, const std::string& text = "") { target.WriteText(text + "\r\n"); }

}  // namespace tarnwick
