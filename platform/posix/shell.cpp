// Program start on POSIX: native executables directly, Windows programs through Wine.
#include "platform/shell.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/inject.h"
#include "platform/posix/native.h"

namespace platform {
namespace {

bool OnPath(const std::string& program, std::string* found) {
  const char* path = getenv("PATH");
  if (!path) return false;
  std::string list = path;
  size_t start = 0;
  while (start <= list.size()) {
    const size_t end = list.find(':', start);
    const std::string dir = list.substr(start, end == std::string::npos ? std::string::npos : end - start);
    const std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) {
      *found = candidate;
      return true;
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return false;
}

bool IsWindowsProgram(const std::string& native) {
  const int fd = open(native.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char magic[2] = {};
  const bool mz = read(fd, magic, 2) == 2 && magic[0] == 'M' && magic[1] == 'Z';
  close(fd);
  return mz;
}

// Starts argv detached: the child of a child, so that it is nobody's zombie and
// outlives this process.
bool SpawnDetached(const std::vector<std::string>& argv, const std::string& directory) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const pid_t first = fork();
  if (first < 0) return false;
  if (first == 0) {
    setsid();
    if (fork() != 0) _exit(0);
    if (!directory.empty() && chdir(directory.c_str()) != 0) _exit(127);
    const int null = open("/dev/null", O_RDONLY);
    if (null >= 0) dup2(null, STDIN_FILENO);
    execv(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(first, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

intptr_t ShellExecuteA(uintptr_t /*owner*/, const std::string& operation, const std::string& file,
                       const std::string& parameters, const std::string& directory,
                       int /*showCommand*/) {
  if (auto answer =
          inject::Ask(&inject::Services::shellExecute, operation, file, parameters, directory))
    return *answer;
  const auto native = posix::ToNativePath(file);
  struct stat st;
  if (!native || stat(native->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return kShellFileNotFound;
  std::string folder;
  if (!directory.empty()) {
    const auto nativeFolder = posix::ToNativePath(directory);
    if (!nativeFolder) return kShellFileNotFound;
    folder = *nativeFolder;
  }
  std::vector<std::string> argv;
  if (IsWindowsProgram(*native)) {
    std::string wine;
    if (!OnPath("wine", &wine)) return kShellNoAssociation;
    argv = {wine, *native};
  } else if (access(native->c_str(), X_OK) == 0) {
    argv = {*native};
  } else {
    return kShellNoAssociation;
  }
  // Parameters are split at blanks, as a simple command line is.
  size_t at = 0;
  while (at < parameters.size()) {
    const size_t end = parameters.find(' ', at);
    const std::string word = parameters.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (!word.empty()) argv.push_back(word);
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return SpawnDetached(argv, folder) ? 42 : kShellNoAssociation;
}

}  // namespace platform
