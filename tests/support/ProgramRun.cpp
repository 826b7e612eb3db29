#include "ProgramRun.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

#include "nodes/NodeSchema.h"

namespace tarnwick::e2e {

namespace {

// In the child: the run's folder, files, environment and user, then the program.
[[noreturn]] void execute(const std::string& program, const std::vector<std::string>& args, const RunOptions& options,
                          const std::string& folder, const std::string& output) {
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  for (const auto& [name, value] : options.environment) setenv(name.c_str(), value.c_str(), 1);
  const bool inFolder = chdir((options.workingDir.empty() ? folder : options.workingDir).c_str()) == 0;
  const int in = open(options.input.c_str(), O_RDONLY),
            out = open((output + "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644),
            err = open((output + "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const bool ready = inFolder && in >= 0 && out >= 0 && err >= 0 && dup2(in, 0) == 0 && dup2(out, 1) == 1 &&
                     dup2(err, 2) == 2 &&
                     (!options.asNobody || (setgroups(0, nullptr) == 0 && setresgid(65534, 65534, 65534) == 0 &&
                                            setresuid(65534, 65534, 65534) == 0));
  if (ready) execv(program.c_str(), argv.data());
  _exit(127);
}

int statusOf(int waitStatus) { return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus); }

}  // namespace

StartedRun::~StartedRun() {
  if (pid_ > 0 && status_ < 0) kill(pid_, SIGKILL), wait();
}

RunResult StartedRun::wait() {
  int waitStatus = 0;
  if (status_ < 0 && waitpid(pid_, &waitStatus, 0) == pid_) status_ = statusOf(waitStatus);
  RunResult result{status_, readBytes(output_ + "out"), readBytes(output_ + "err")};
  fs::remove(output_ + "out"), fs::remove(output_ + "err");
  return result;
}

void StartedRun::signal(int number) const { kill(pid_, number); }

ProgramFolder::ProgramFolder(const std::string& programName, const std::string& folderName)
    : programName_(programName), folderName_(folderName) {
  const std::string built = TARNWICK_PROGRAM_DIR;
  fs::create_directories(path());
  fs::copy_file(built + "/tarnwick", program());
  for (const char* file : {"libquillet.so", "README.HTM"}) fs::copy_file(built + "/" + file, path(file));
}

std::string ProgramFolder::path(const std::string& name) const {
  return folder_.path(folderName_.empty() || name.empty() ? folderName_ + name : folderName_ + "/" + name);
}

// Returns once the program runs: the pipe, closed on exec, tells when.
StartedRun ProgramFolder::start(const std::vector<std::string>& args, const RunOptions& options) const {
  const std::string output = folder_.path() + "." + std::to_string(++runsStarted_) + ".";
  int execDone[2];
  EXPECT_EQ(pipe2(execDone, O_CLOEXEC), 0);
  const pid_t pid = fork();
  if (pid == 0) execute(program(), args, options, path(), output);
  close(execDone[1]);
  char ignored;
  while (read(execDone[0], &ignored, 1) < 0 && errno == EINTR) {
  }
  close(execDone[0]);
  EXPECT_GT(pid, 0) << "fork failed";
  return StartedRun(pid, output);
}

void ProgramFolder::handToNobody(const std::string& keptFile) const {
  for (const auto& entry : fs::recursive_directory_iterator(path()))
    ASSERT_EQ(lchown(entry.path().c_str(), 65534, 65534), 0);
  ASSERT_EQ(chown(path().c_str(), 65534, 65534) | chown(keptFile.c_str(), 0, 0), 0);
  fs::permissions(keptFile, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

std::string ProgramFolder::logText() const {
  std::string text;
  for (const auto& entry : fs::directory_iterator(path("LOGS"))) text += readBytes(entry.path().string());
  return text;
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

NodeDatabase::NodeDatabase(const ProgramFolder& folder) : programAt(folder.program()) {
  connection.setConnectionString("Data Source=Pelagor");
  connection.open(nodeSchema());
}

void NodeDatabase::clear() {
  for (std::string table : {"DeliveryWindow", "OctelNode", "VPIMNode", "Directory", "Node"}) {
    connection.execute("DELETE FROM " + table);
  }
}

void emptyServerDatabase() {
  ProgramFolder probe;
  if (NodeDatabase db(probe); db.connection.engine() != "sqlite3") db.clear();
}

Lines resultLines(const std::string& path) {
  std::string text = readBytes(path);
  const size_t end = text.rfind("\r\n");
  Lines lines = platform::test::crlfLines(end == std::string::npos ? "" : text.substr(0, end + 2));
  if (!lines.empty()) lines.erase(lines.begin());
  return lines;
}

}  // namespace tarnwick::e2e
