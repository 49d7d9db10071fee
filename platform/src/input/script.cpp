// Runs a HANDSET_INPUT script on its own thread. Each step waits until the program's main
// thread is idle (waiting for messages with nothing queued), then for the step's delay, then
// acts as the user would: through the handset's buttons, touch screen and task switching.
#include "input/script.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "device/display.h"
#include "device/home_screen.h"
#include "device/profile.h"
#include "platform/input_script.h"
#include "windows/internal.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;
// How long a step waits for a busy program, or for one in the background to come to the front,
// before it goes on anyway.
constexpr std::chrono::seconds kIdleWait{60};
constexpr std::chrono::milliseconds kFrontPoll{10};

class Runner {
 public:
  ~Runner() {
    stop();
    if (thread_.joinable()) thread_.join();
  }

  void start(std::vector<ScriptStep> steps, std::shared_ptr<Queue> queue) {
    std::lock_guard<std::mutex> guard(lock_);
    if (started_) return;
    started_ = true;
    queue_ = std::move(queue);
    thread_ = std::thread([this, steps = std::move(steps)] { run(steps); });
  }

  void stop() {
    std::shared_ptr<Queue> queue;
    {
      std::lock_guard<std::mutex> guard(lock_);
      stopped_ = true;
      queue = queue_;
    }
    wake_.notify_all();
    if (queue) {
      std::lock_guard<std::mutex> guard(queue->lock);
      queue->idle.notify_all();
    }
  }

 private:
  bool stopped() {
    std::lock_guard<std::mutex> guard(lock_);
    return stopped_;
  }

  void run(const std::vector<ScriptStep> &steps) {
    for (const ScriptStep &step : steps) {
      if (!waitUntilIdle(*queue_, Clock::now() + kIdleWait, [this] { return stopped(); }))
        std::fprintf(stderr, "handset input: line %d: the program is still busy; going on\n", step.line);
      {
        std::unique_lock<std::mutex> guard(lock_);
        wake_.wait_for(guard, std::chrono::milliseconds(step.delayMs), [this] { return stopped_; });
        if (stopped_) return;
      }
      act(step);
    }
  }

  // Until one of the program's windows is the active one: brought back by the user or by
  // another program of the handset. False after kIdleWait or when the script is stopped.
  bool waitForFront() {
    const Clock::time_point deadline = Clock::now() + kIdleWait;
    std::unique_lock<std::mutex> guard(lock_);
    while (!GetActiveWindow()) {
      if (stopped_ || Clock::now() >= deadline) return false;
      wake_.wait_for(guard, kFrontPoll, [this] { return stopped_; });
    }
    return true;
  }

  void act(const ScriptStep &step) {
    switch (step.action) {
      case ScriptStep::key:
        device::pressKey(step.vk, true);
        device::pressKey(step.vk, false);
        break;
      case ScriptStep::down: device::pressKey(step.vk, true); break;
      case ScriptStep::up: device::pressKey(step.vk, false); break;
      case ScriptStep::tap:
        if (!device::tap(step.x, step.y, true))
          std::fprintf(stderr, "handset input: line %d: this handset has no touch screen\n", step.line);
        device::tap(step.x, step.y, false);
        break;
      case ScriptStep::activate: device::userAction(device::InputEvent::activate); break;
      case ScriptStep::deactivate: device::userAction(device::InputEvent::deactivate); break;
      case ScriptStep::switchTask: device::userAction(device::InputEvent::switchTask); break;
      case ScriptStep::front:
        if (!waitForFront())
          std::fprintf(stderr, "handset input: line %d: the program did not come to the front; going on\n", step.line);
        break;
      case ScriptStep::freeze: device::freezeHomeScreen(true); break;
      case ScriptStep::unfreeze: device::freezeHomeScreen(false); break;
      case ScriptStep::screenshot:
        if (!device::display().savePng(step.file))
          std::fprintf(stderr, "handset input: line %d: cannot write %s\n", step.line, step.file.c_str());
        break;
      case ScriptStep::close: device::userAction(device::InputEvent::close); break;
    }
  }

  std::mutex lock_;
  std::condition_variable wake_;
  bool started_ = false, stopped_ = false;
  std::shared_ptr<Queue> queue_;
  std::thread thread_;
};

Runner &runner() {
  static Runner instance;
  return instance;
}

// A folder opens as a file that reads as empty: a script with no steps, which would leave the
// program waiting for a user who never comes.
std::string readScript(const std::string &path) {
  std::error_code ignored;
  std::ifstream in(path, std::ios::binary);
  if (std::filesystem::is_directory(path, ignored) || !in.is_open())
    throw ScriptError(path + ": cannot read the input script");
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

void startInputScript() {
  const char *path = std::getenv("HANDSET_INPUT");
  if (!path || !*path) return;
  try {
    runner().start(parseInputScript(readScript(path), path), currentQueue());
  } catch (const ScriptError &error) {
    device::stopOnBadSetting(std::string("handset input error: ") + error.what());
  }
}

void stopInputScript() { runner().stop(); }

}  // namespace platform
