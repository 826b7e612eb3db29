// Reads a generated node file of 1,000,000 lines and 19 columns with the
// Quillet reader, fetching and validating every value of every line with the
// input columns' patterns, and prints lines per second and peak memory.
//
//   bench_reader [line count]
#include <sys/resource.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "nodes/InputColumns.h"
#include "ucQuillet.h"

namespace {

using tarnwick::InputColumn;
using tarnwick::kInputColumns;

// One node request as the export writes it: every field quoted, CR LF, and
// Windows-1252 text (0xE9 is an accented e). Octel and Veltro lines alternate.
std::string nodeLine(long n) {
  const std::string serial = std::to_string(100000 + n);
  std::vector<std::string> f;
  if (n % 2 == 0) {
    f = {"O",
         "A",
         serial,
         "Octel \xE9" + std::to_string(n % 100000),
         "",
         "",
         "",
         "1555" + std::to_string(n % 10000000),
         std::to_string(n % 9000 + 1000),
         "9P*#",
         "8:00AM",
         "5:30 PM",
         "15",
         "00:00",
         "23:59",
         "5",
         "12:00AM",
         "11:59PM",
         "240"};
  } else {
    f = {"V",
         "c",
         serial,
         "Veltro " + std::to_string(n % 100000),
         "vm" + std::to_string(n % 500) + ".example.com",
         "voice.example.com",
         "G729",
         "",
         "",
         "",
         "",
         "",
         "",
         "",
         "",
         "",
         "",
         "",
         ""};
  }
  std::string line;
  for (size_t i = 0; i < f.size(); ++i) line += (i ? ",\"" : "\"") + f[i] + "\"";
  return line + "\r\n";
}

void writeNodeFile(const std::string& path, long lines) {
  std::ofstream out(path, std::ios::binary);
  for (size_t i = 0; i < std::size(kInputColumns); ++i) out << (i ? "," : "") << kInputColumns[i].name;
  out << "\r\n";
  for (long n = 0; n < lines; ++n) out << nodeLine(n);
}

long peakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

std::string lowerCase(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  const long lineCount = argc > 1 ? std::atol(argv[1]) : 1000000;
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / ("quillet_bench_" + std::to_string(getpid()));
  fs::create_directories(folder);
  const std::string path = (folder / "nodes.csv").string();
  writeNodeFile(path, lineCount);
  std::printf("file: %ld lines, %.1f MB\n", lineCount, fs::file_size(path) / 1e6);
  std::printf("peak RSS before reading: %ld KB\n", peakRssKb());

  std::vector<std::string> askedNames;
  for (const InputColumn& c : kInputColumns) askedNames.push_back(lowerCase(c.name));

  quillet::ucQuillet reader;
  reader.CSVFile(path);
  const auto start = std::chrono::steady_clock::now();
  reader.OpenCSV(true, true);
  for (const InputColumn& c : kInputColumns) reader.setColumnValidation(c.name, c.pattern);
  long read = 0;
  size_t valueBytes = 0;
  while (!reader.EOF_()) {
    reader.ReadLine();
    for (const std::string& name : askedNames) valueBytes += reader.getValue(name).size();
    if (++read == lineCount / 10) {
      std::printf("peak RSS after %ld lines: %ld KB\n", read, peakRssKb());
    }
  }
  reader.CloseCSV();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  std::printf("read and validated %ld lines (%ld values, %zu value bytes) in %.2f s\n", read,
              read * static_cast<long>(std::size(kInputColumns)), valueBytes, seconds);
  std::printf("lines per second: %.0f\n", read / seconds);
  std::printf("peak RSS after %ld lines: %ld KB\n", read, peakRssKb());
  fs::remove_all(folder);
  return read == lineCount ? 0 : 1;
}
