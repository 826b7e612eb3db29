// Process entry: the shell's words become the argument text of the run.
#include <clocale>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "mdlMain.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  std::vector<std::string> words(argv + 1, argv + argc);
  return tarnwick::main(tarnwick::buildArgumentText(words));
}
