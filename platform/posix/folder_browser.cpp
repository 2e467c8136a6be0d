// The folder browser on POSIX: the desktop's folder chooser (GTK's, in folder mode) run
// by the helper program folder-chooser, so that this process links no toolkit and pays
// nothing for it until the first browse. While the helper runs this thread keeps
// pumping its messages: the owner window goes on painting, as under the Windows dialog.
//
// The helper speaks lines of UTF-8 (see gtk/folder_chooser_main.cpp): it answers
// "ready W H" once its window exists, takes "select", "move" and "text" from the
// callback's calls, opens at "show" and ends with "chosen PATH", "chosen-without-path"
// or "cancel".
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/common/window_backend.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/posix/gtk/chooser_protocol.h"
#include "platform/posix/native.h"
#include "platform/system.h"

extern char** environ;

namespace platform::backend {
namespace {

using folder_chooser::Escape;
using folder_chooser::Unescape;

// The helper: named by INSTALLER_FOLDER_CHOOSER, else beside this program.
std::string HelperProgram() {
  if (const char* named = std::getenv("INSTALLER_FOLDER_CHOOSER"); named && *named) return named;
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return {};
  std::string path(self, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/') + 1) + "folder-chooser";
}

// One helper run: the dialog's window as the callback's calls see it.
class ChooserSession {
 public:
  ~ChooserSession() { End(); }

  bool Start(const std::vector<std::string>& argv) {
    int toChild[2], fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0) return false;
    if (pipe2(fromChild, O_CLOEXEC) != 0) {
      close(toChild[0]);
      close(toChild[1]);
      return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const int spawned = posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(toChild[0]);
    close(fromChild[1]);
    toHelper_ = toChild[1];
    fromHelper_ = fromChild[0];
    if (spawned != 0) pid_ = -1;
    return spawned == 0;
  }

  // The next line from the helper, this thread's messages pumped while it is awaited;
  // nullopt when the helper has gone or the program is ending.
  std::optional<std::string> ReadLine() {
    for (;;) {
      if (const size_t end = buffered_.find('\n'); end != std::string::npos) {
        std::string line = buffered_.substr(0, end);
        buffered_.erase(0, end + 1);
        return line;
      }
      pollfd p{fromHelper_, POLLIN, 0};
      const int ready = poll(&p, 1, 15);
      if (ready > 0) {
        char chunk[4096];
        const ssize_t n = read(fromHelper_, chunk, sizeof chunk);
        if (n <= 0) return std::nullopt;
        buffered_.append(chunk, static_cast<size_t>(n));
      } else if (ready < 0 && errno != EINTR) {
        return std::nullopt;
      } else if (PumpMessages()) {
        return std::nullopt;  // a quit message: the dialog goes with the program
      }
    }
  }

  bool Send(const std::string& command) {
    const std::string line = command + "\n";
    size_t done = 0;
    while (done < line.size()) {
      const ssize_t n = write(toHelper_, line.data() + done, line.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }

  void End() {
    if (toHelper_ >= 0) close(toHelper_);
    if (fromHelper_ >= 0) close(fromHelper_);
    toHelper_ = fromHelper_ = -1;
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int status;
      while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
      }
      pid_ = -1;
    }
  }

  Hwnd Handle() const { return reinterpret_cast<Hwnd>(this); }
  WindowRect rect;

 private:
  pid_t pid_ = -1;
  int toHelper_ = -1;
  int fromHelper_ = -1;
  std::string buffered_;
};

// The dialog is modal: one at a time.
ChooserSession* openChooser = nullptr;

ChooserSession* Chooser(Hwnd window) {
  return openChooser && openChooser->Handle() == window ? openChooser : nullptr;
}

void Log(const std::string& text) { OutputDebugStringA("folder chooser: " + text); }

}  // namespace

bool GetWindowRect(Hwnd window, WindowRect* rect) {
  ChooserSession* chooser = Chooser(window);
  if (!chooser) return false;
  *rect = chooser->rect;
  return true;
}

bool SetWindowPos(Hwnd window, Hwnd /*insertAfter*/, int x, int y, int cx, int cy,
                  uint32_t flags) {
  ChooserSession* chooser = Chooser(window);
  if (!chooser) return false;
  const int width = chooser->rect.right - chooser->rect.left;
  const int height = chooser->rect.bottom - chooser->rect.top;
  if (!(flags & kSwpNoSize) && (cx != width || cy != height)) {
    if (!chooser->Send("size " + std::to_string(cx) + " " + std::to_string(cy))) return false;
    chooser->rect.right = chooser->rect.left + cx;
    chooser->rect.bottom = chooser->rect.top + cy;
  }
  if (!chooser->Send("move " + std::to_string(x) + " " + std::to_string(y))) return false;
  const WindowRect& r = chooser->rect;
  chooser->rect = {x, y, x + (r.right - r.left), y + (r.bottom - r.top)};
  return true;
}

intptr_t SendMessageA(Hwnd window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  ChooserSession* chooser = Chooser(window);
  if (!chooser || lParam == 0) return 0;
  const std::string text = reinterpret_cast<const char*>(lParam);
  if (message == kBffmSetSelectionA && wParam != 0) {
    // A path that cannot be mapped selects nothing, as an unknown folder does.
    const std::optional<std::string> native = posix::ToNativePath(text);
    if (native) chooser->Send("select " + Escape(*native));
    return 0;
  }
  if (message == kWmSetText) {
    const std::optional<std::string> utf8 = posix::GbkToUtf8(text);
    return utf8 && chooser->Send("text " + Escape(*utf8)) ? 1 : 0;
  }
  return 0;
}

int GetSystemMetrics(int /*index*/) { return 0; }

ItemIdList BrowseForFolder(BrowseInfoA* info) {
  info->image = 0;  // no system image list here
  if (openChooser) return {};
  const std::string helper = HelperProgram();
  if (access(helper.c_str(), X_OK) != 0) {
    Log("no helper program at " + helper);
    return {};
  }
  std::vector<std::string> argv = {helper, "--flags", std::to_string(info->flags)};
  if (const std::optional<std::string> title = posix::GbkToUtf8(info->title))
    argv.insert(argv.end(), {"--title", *title});
  if (info->owner) argv.insert(argv.end(), {"--transient-for", std::to_string(info->owner)});

  ChooserSession session;
  if (!session.Start(argv)) {
    Log("cannot start " + helper);
    return {};
  }
  struct Open {
    explicit Open(ChooserSession* s) { openChooser = s; }
    ~Open() { openChooser = nullptr; }
  } open(&session);

  const std::optional<std::string> ready = session.ReadLine();
  int width = 0, height = 0;
  if (!ready || std::sscanf(ready->c_str(), "ready %d %d", &width, &height) != 2) {
    Log("the helper did not open a window (no display?)");
    return {};
  }
  session.rect = {0, 0, width, height};
  if (info->callback) info->callback(session.Handle(), kBffmInitialized, 0);
  if (!session.Send("show")) return {};

  const std::optional<std::string> answer = session.ReadLine();
  if (!answer || *answer == "cancel") return {};
  if (*answer == "chosen-without-path") return ItemIdList::WithoutPath();
  static const std::string kChosen = "chosen ";
  if (answer->compare(0, kChosen.size(), kChosen) != 0) return {};
  // A folder whose name the ANSI code page cannot spell has no path for this program.
  const std::string path = posix::FromNativePath(Unescape(answer->substr(kChosen.size())));
  return path.empty() ? ItemIdList::WithoutPath() : ItemIdList::ForPath(path);
}

bool ShellItemPath(void* /*shellItem*/, std::string* /*path*/) { return false; }

void FreeShellItem(void* /*shellItem*/) {}

}  // namespace platform::backend
