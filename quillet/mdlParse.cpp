#include "mdlParse.h"

#include <algorithm>

namespace quillet {

namespace {

constexpr size_t kInitialFieldRoom = 64;

// One pass over a line. `start` is where the current field begins, `trail`
// how many bytes (spaces, a closing quote) to drop from its end. All three
// special characters are ASCII, so byte positions never split a character.
// Each field is handed to `emit` as a view into the line.
template <class Emit>
class FieldSplitter {
 public:
  FieldSplitter(std::string_view line, Emit emit) : line_(line), emit_(emit) {}

  void run() {
    for (size_t p = 0; p < line_.size(); ++p) {
      switch (line_[p]) {
        case ' ': onSpace(); break;
        case '"': onQuote(p); break;
        case ',': onComma(p); break;
        default: onOther(p); break;
      }
    }
    emitUpTo(line_.size());
  }

 private:
  enum class State { BeforeField, InField, InQuotes };

  void onSpace() {
    if (state_ == State::InField) ++trail_;
  }

  // A quote opens a field, or closes it and is dropped with what follows;
  // inside an unquoted field it is kept.
  void onQuote(size_t p) {
    if (state_ == State::BeforeField) {
      state_ = State::InQuotes;
      start_ = p + 1;
    } else if (state_ == State::InQuotes) {
      state_ = State::InField;
      trail_ = 1;
    }
  }

  void onComma(size_t p) {
    if (state_ == State::InQuotes) return;
    emitUpTo(p);
    state_ = State::BeforeField;
    trail_ = 0;
    start_ = p + 1;
  }

  void onOther(size_t p) {
    if (state_ == State::BeforeField) {
      state_ = State::InField;
      start_ = p;
    }
    trail_ = 0;
  }

  // The current field ends before `end`, less its trail. In the field state
  // start + trail never exceeds the position reached, and in the other states
  // trail is 0, so the cut is never negative.
  void emitUpTo(size_t end) { emit_(line_.substr(start_, end - trail_ - start_)); }

  std::string_view line_;
  Emit emit_;
  State state_ = State::BeforeField;
  size_t start_ = 0;
  size_t trail_ = 0;
};

}  // namespace

int32_t splitFields(std::string_view line, std::vector<std::string_view>& fields) {
  fields.clear();
  fields.reserve(kInitialFieldRoom);
  FieldSplitter(line, [&fields](std::string_view field) { fields.push_back(field); }).run();
  return static_cast<int32_t>(fields.size());
}

std::string_view stripQuotes(std::string_view text) {
  if (text.starts_with('"')) text.remove_prefix(1);
  if (text.ends_with('"')) text.remove_suffix(1);
  return text;
}

Fields parseLine(std::string_view line) {
  // Every field but the last ends at a comma: room for all of them at once,
  // so a line of a million empty fields is not copied while it grows.
  Fields fields;
  fields.reserve(static_cast<size_t>(std::count(line.begin(), line.end(), ',')) + 1);
  FieldSplitter(line, [&fields](std::string_view field) { fields.emplace_back(stripQuotes(field)); }).run();
  return fields;
}

}  // namespace quillet
