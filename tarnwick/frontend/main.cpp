// Process entry: the standard streams and signals made safe and the user's
// locale taken before anything is opened, then the shell's words become the
// argument text of the run.
#include <string>
#include <vector>

#include "CommandLine.h"
#include "mdlMain.h"
#include "platform/Env.h"

int main(int argc, char** argv) {
  platform::env()->prepareProcess();
  std::vector<std::string> words(argv + 1, argv + argc);
  return tarnwick::main(tarnwick::buildArgumentText(words));
}
