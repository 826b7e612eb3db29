// Process entry: the standard streams and signals made safe before anything
// is opened, then the shell's words become the argument text of the run.
#include <clocale>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "mdlMain.h"
#include "platform/Env.h"

int main(int argc, char** argv) {
  platform::env()->prepareProcess();
  std::setlocale(LC_ALL, "");
  std::vector<std::string> words(argv + 1, argv + argc);
  return tarnwick::main(tarnwick::buildArgumentText(words));
}
