// Helpers shared by the reader's tests: CSV files written through the
// platform's text streams into this build's test folder, and the error number
// a call raises.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Env.h"
#include "platform/Error.h"
#include "platform/Paths.h"

namespace quillet_test {

// The number of the platform::Error that `call` raises, or 0 when it returns.
template <class Call>
int32_t errorNumberOf(Call&& call) {
  try {
    call();
  } catch (const platform::Error& e) {
    return e.number();
  }
  return 0;
}

// A file in this build's test folder, named after the running test.
inline std::string testFilePath(const std::string& suffix = ".csv") {
  platform::env()->createFolder(QUILLET_TEST_FILES);
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name() + suffix;
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  return platform::joinPath(QUILLET_TEST_FILES, name);
}

// Writes `lines` (UTF-8 text) as a file in `encoding`, each line ending in CR LF.
inline std::string writeCsv(const std::vector<std::string>& lines,
                            platform::TextEncoding encoding = platform::TextEncoding::Cp1252,
                            const std::string& suffix = ".csv") {
  const std::string path = testFilePath(suffix);
  auto stream = platform::env()->openTextFile(path, platform::IOMode::ForWriting, true, encoding);
  for (const std::string& line : lines) stream->writeLine(line);
  stream->close();
  return path;
}

}  // namespace quillet_test
