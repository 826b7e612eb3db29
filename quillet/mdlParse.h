// mdlParse: turns one line of a CSV file (without its line end) into fields.
// Unquoted fields are trimmed, double quotes around a field keep its spaces
// and commas, and doubled quotes are not collapsed. Only space, double quote
// and comma are special; every other byte, tab and UTF-8 sequences included,
// is an ordinary character. Every line splits: there is no failure.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "quillet/Quillet.h"

namespace quillet {

// Fills `fields` (emptied first) with the raw fields of `line`, as views into
// it, and returns their count. An empty line gives one empty field.
int32_t splitFields(std::string_view line, std::vector<std::string_view>& fields);

// `text` without one leading double quote and then one trailing double quote.
std::string_view stripQuotes(std::string_view text);

// The fields of `line`, each split off and stripped of its quotes.
Fields parseLine(std::string_view line);

}  // namespace quillet
