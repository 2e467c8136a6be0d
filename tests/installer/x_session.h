// A private X server for the X11 host tests, and child processes with a time limit.
// Nothing here waits without one: a server that never answers, a window manager that
// never starts or a tool that hangs ends in a skip or a failure, never in a stuck test.
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace x_session {

// Waits for pid up to timeoutMs; kills it when it is still running then. The exit status,
// or nullopt when it had to be killed.
inline std::optional<int> WaitOrKill(pid_t pid, int timeoutMs) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  int status = 0;
  for (;;) {
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) return WIFEXITED(status) ? std::optional<int>(WEXITSTATUS(status)) : -1;
    if (r < 0) return -1;
    if (std::chrono::steady_clock::now() >= until) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  return std::nullopt;
}

// Starts argv[0] from PATH with DISPLAY set; -1 when it cannot be started.
inline pid_t Spawn(const std::vector<std::string>& argv, const std::string& display) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  setenv("DISPLAY", display.c_str(), 1);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  execvp(args[0], args.data());
  _exit(127);
}

// Runs a command to its end within timeoutMs: true when it exited with status 0.
inline bool Run(const std::vector<std::string>& argv, const std::string& display,
                int timeoutMs = 10000) {
  const pid_t pid = Spawn(argv, display);
  if (pid < 0) return false;
  const std::optional<int> status = WaitOrKill(pid, timeoutMs);
  return status && *status == 0;
}

inline bool OnPath(const std::string& tool) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::string candidate = dirs.substr(start, end - start) + "/" + tool;
    if (access(candidate.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

// An Xvfb of our own; display() is empty when it could not be started within 10 s.
class PrivateXServer {
 public:
  explicit PrivateXServer(const char* screen = "1024x768x24") {
    if (!OnPath("Xvfb")) return;
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen, "-nolisten", "tcp",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    readEnd_ = fds[0];  // kept open: the server may write to it again
    if (pid_ < 0) return;
    pollfd p{readEnd_, POLLIN, 0};
    char buf[16] = {};
    const ssize_t n = poll(&p, 1, 10000) == 1 ? read(readEnd_, buf, sizeof buf - 1) : -1;
    if (n > 0) display_ = ":" + std::string(buf, buf + n - (buf[n - 1] == '\n' ? 1 : 0));
  }
  ~PrivateXServer() {
    if (readEnd_ >= 0) close(readEnd_);
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      WaitOrKill(pid_, 5000);
    }
  }
  PrivateXServer(const PrivateXServer&) = delete;
  PrivateXServer& operator=(const PrivateXServer&) = delete;
  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = -1;
  int readEnd_ = -1;
  std::string display_;
};

// DISPLAY for the length of a test.
class ScopedDisplay {
 public:
  explicit ScopedDisplay(const std::string& display) {
    const char* old = std::getenv("DISPLAY");
    if (old) saved_ = old;
    setenv("DISPLAY", display.c_str(), 1);
  }
  ~ScopedDisplay() {
    if (saved_)
      setenv("DISPLAY", saved_->c_str(), 1);
    else
      unsetenv("DISPLAY");
  }
  ScopedDisplay(const ScopedDisplay&) = delete;
  ScopedDisplay& operator=(const ScopedDisplay&) = delete;

 private:
  std::optional<std::string> saved_;
};

}  // namespace x_session
