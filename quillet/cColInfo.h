// cColInfo: what the reader knows of one column of the heading line: its
// position and the rule its non-empty values must meet.
#pragma once

#include <re2/re2.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Error.h"

namespace quillet {

struct cColInfo {
  explicit cColInfo(int16_t index) : Index(index) {}

  int16_t Index;              // 1-based position of the column in a line
  std::string RegExpression;  // pattern a non-empty value must match
  std::string MinValue;       // bounds stored by a range-check call
  std::string MaxValue;
  bool RangeCheck = false;

  // Replaces the pattern. The pattern is compiled here, once, as a
  // case-sensitive UTF-8 expression in which "." does not match a line break.
  // A pattern that does not compile fails with Error 5 and changes nothing.
  void setPattern(const std::string& pattern) {
    std::unique_ptr<const re2::RE2> compiled;
    if (!pattern.empty()) compiled = compile(pattern);
    RegExpression = pattern;
    compiled_ = std::move(compiled);
    lastAccepted_.reset();
  }

  // True when the pattern matches anywhere in `value`; no pattern matches
  // all. The value last accepted is kept: a column repeats its values from
  // line to line (times, intervals, codecs), and a repeat needs no match.
  bool accepts(std::string_view value) {
    if (!compiled_ || (lastAccepted_ && value == *lastAccepted_)) return true;
    if (!compiled_->Match(value, 0, value.size(), re2::RE2::UNANCHORED, nullptr, 0)) return false;
    lastAccepted_ = value;
    return true;
  }

 private:
  static std::unique_ptr<const re2::RE2> compile(const std::string& pattern) {
    re2::RE2::Options options;
    options.set_log_errors(false);
    auto compiled = std::make_unique<const re2::RE2>(pattern, options);
    if (!compiled->ok()) platform::raise(platform::err::kInvalidArgument);
    return compiled;
  }

  std::unique_ptr<const re2::RE2> compiled_;
  std::optional<std::string> lastAccepted_;
};

}  // namespace quillet
