#include "Value.h"

#include <charconv>

namespace platform {

namespace {
std::string shortestDecimal(double d) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, d);
  return std::string(buf, res.ptr);
}
}  // namespace

std::string toText(const Value& v) {
  struct Visitor {
    std::string operator()(std::monostate) const { return {}; }
    std::string operator()(bool b) const { return b ? "True" : "False"; }
    std::string operator()(int16_t i) const { return std::to_string(i); }
    std::string operator()(int32_t i) const { return std::to_string(i); }
    std::string operator()(int64_t i) const { return std::to_string(i); }
    std::string operator()(double d) const { return shortestDecimal(d); }
    std::string operator()(const std::string& s) const { return s; }
  };
  return std::visit(Visitor{}, v);
}

}  // namespace platform
