// Replaceable platform services: one table of slots, filled at two levels.
//
// Tests fill the first level (services(), for the duration of a ScopedServices): a clock
// they control, another executable path, a failing registry read, scripted answers. The
// window framework (ui/) fills the second (framework()) while its application object
// runs: its own message boxes and message loop, and the answers for its windows and its
// screen. A platform call asks the tests' slot, then the framework's, and only then does
// the system answer (Ask). A slot that answers nullopt passes the call on.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "platform/dialogs.h"
#include "platform/system.h"

namespace platform::inject {

struct Services {
  std::function<std::optional<SystemTime>()> localTime;
  std::function<std::optional<std::string>()> moduleFileName;
  std::function<void(const std::string&)> debugOutput;
  // Answers RegQueryValueExA before the registry does.
  std::function<std::optional<long>(HKey key, const std::string& valueName, uint32_t* type,
                                    uint8_t* data, uint32_t* dataSize)>
      regQueryValue;
  // Answers MessageBoxA (platform/dialogs.h) instead of a box; caption may be null.
  std::function<std::optional<int>(const std::string& text, const char* caption, uint32_t type)>
      messageBox;
  // Replaces the message pump; answers whether a quit message was seen.
  std::function<std::optional<bool>()> pumpMessages;
  // Answer the two choosers: true with the chosen path, false for "cancelled".
  std::function<std::optional<bool>(const std::string& title, const std::string& filter,
                                    const std::string& initialDir, std::string* fileName)>
      openFileDialog;
  std::function<std::optional<bool>(const std::string& initialDir, uint32_t options,
                                    std::string* folder)>
      selectDirectory;
  // Answer GetDriveTypeA and GetVolumeInformationA (platform/drives.h) for every root.
  std::function<std::optional<uint32_t>(const std::string& rootPathName)> driveType;
  std::function<std::optional<bool>(const std::string& rootPathName, std::string* volumeName)>
      volumeLabel;
  // Stand in for the folder browser (SHBrowseForFolderA).
  std::function<std::optional<ItemIdList>(BrowseInfoA* info)> browseForFolder;
  // The window calls, for the windows a level knows (nullopt for any other window).
  std::function<std::optional<bool>(Hwnd window, WindowRect* rect)> windowRect;
  std::function<std::optional<bool>(Hwnd window, Hwnd insertAfter, int x, int y, int cx, int cy,
                                    uint32_t flags)>
      setWindowPos;
  std::function<std::optional<intptr_t>(Hwnd window, uint32_t message, uintptr_t wParam,
                                        intptr_t lParam)>
      sendMessage;
  // Told when a dialog of the system disables its owner window (enable false) and when it
  // enables it again.
  std::function<void(Hwnd window, bool enable)> enableWindow;
  // Answers GetSystemMetrics.
  std::function<std::optional<int>(int index)> systemMetrics;
  // Answers ShellExecuteA (platform/shell.h) instead of starting anything.
  std::function<std::optional<intptr_t>(const std::string& operation, const std::string& file,
                                        const std::string& parameters,
                                        const std::string& directory)>
      shellExecute;
};

// The tests' level.
Services& services();
// The window framework's level.
Services& framework();

// Asks slot at the tests' level, then at the framework's. A slot answering a value gives
// the first answer (nullopt when neither answers); a slot without a result (a
// notification) is called at every level that fills it, and Ask tells whether any did.
template <typename Slot, typename... Args>
auto Ask(Slot Services::*slot, Args&&... args) {
  using Result = typename Slot::result_type;
  Services* const levels[] = {&services(), &framework()};
  if constexpr (std::is_void_v<Result>) {
    bool told = false;
    for (Services* level : levels)
      if (const Slot& f = level->*slot) f(args...), told = true;
    return told;
  } else {
    for (Services* level : levels)
      if (const Slot& f = level->*slot)
        if (Result answer = f(args...)) return answer;
    return Result{};
  }
}

// Installs replacement services at the tests' level for the lifetime of the object and
// restores the previous ones afterwards.
class ScopedServices {
 public:
  ScopedServices() : saved_(services()) {}
  ~ScopedServices() { services() = saved_; }
  ScopedServices(const ScopedServices&) = delete;
  ScopedServices& operator=(const ScopedServices&) = delete;
  Services* operator->() { return &services(); }

 private:
  Services saved_;
};

}  // namespace platform::inject
