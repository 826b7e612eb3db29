// A loosely typed value, as it crosses between the program, the reader
// control and the database: null, boolean, integers, floating point or text.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace platform {

using Value = std::variant<std::monostate, bool, int16_t, int32_t, int64_t, double, std::string>;

inline bool isNull(const Value& v) { return std::holds_alternative<std::monostate>(v); }

// The ordinary text form: null is empty text, integers in decimal, booleans
// "True"/"False", doubles in their shortest round-tripping decimal form.
std::string toText(const Value& v);

}  // namespace platform
