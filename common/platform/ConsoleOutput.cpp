// Standard output of the Linux Env. On a terminal every text is written at
// once, so the user sees each line as it is printed. Anywhere else (a file, a
// pipe) texts are gathered and written in blocks: when a block is full,
// before anything goes to standard error, a second after the first text of a
// block came at the latest, and when the process ends.
//
// The one-second limit needs a clock that runs while the program waits (on a
// database lock, a slow server): a small thread that only ever writes what
// was gathered. It takes no signal, so SIGINT and the others still end the
// main thread's waits.
#include <pthread.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "PosixFile.h"

namespace platform {

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr auto kLongestDelay = std::chrono::seconds(1);

class ConsoleOutput {
 public:
  void write(std::string_view bytes) {
    std::call_once(started_, [this] { start(); });
    if (!gathering_) {
      writeAll(STDOUT_FILENO, bytes);
      return;
    }
    bool full = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (gathered_.empty()) {
        firstGathered_ = SteadyClock::now();
        due_.notify_one();
      }
      gathered_.append(bytes);
      full = gathered_.size() >= kIoBlockBytes;
    }
    if (full) flush();
  }

  // Returns once everything given before the call is written. Writes go out
  // one at a time and in order, whichever thread makes them.
  void flush() {
    std::lock_guard<std::mutex> writing(writing_);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      block_.swap(gathered_);
    }
    writeAll(STDOUT_FILENO, block_);
    block_.clear();
  }

 private:
  void start() {
    gathering_ = ::isatty(STDOUT_FILENO) == 0;
    if (!gathering_) return;
    std::atexit([] { flushStandardOutput(); });
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);  // the new thread starts with this mask
    try {
      std::thread([this] { writeWhenDue(); }).detach();
    } catch (const std::system_error&) {
      gathering_ = false;  // without the clock, every text is written at once
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  }

  void writeWhenDue() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      due_.wait(lock, [this] { return !gathered_.empty(); });
      const auto due = firstGathered_ + kLongestDelay;
      if (SteadyClock::now() < due) {
        due_.wait_until(lock, due);  // then look again: it may have been written meanwhile
        continue;
      }
      lock.unlock();
      flush();
      lock.lock();
    }
  }

  std::once_flag started_;
  bool gathering_ = false;
  std::mutex writing_;  // held while a block is written
  std::mutex mutex_;    // guards gathered_ and firstGathered_
  std::condition_variable due_;
  std::string gathered_;
  SteadyClock::time_point firstGathered_;
  std::string block_;  // the block being written
};

// Never destroyed: the writing thread may use it until the process is gone.
ConsoleOutput& consoleOutput() {
  static ConsoleOutput* const output = new ConsoleOutput;
  return *output;
}

}  // namespace

void writeStandardOutput(std::string_view bytes) { consoleOutput().write(bytes); }

void flushStandardOutput() { consoleOutput().flush(); }

}  // namespace platform
