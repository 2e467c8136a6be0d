// Replaceable platform services, for tests.
//
// Each slot is empty in normal runs, and the backend's own service answers. A test that
// needs a clock it controls, another executable path or a failing registry read puts a
// function in the slot for its duration with ScopedServices.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/dialogs.h"
#include "platform/system.h"

namespace platform::inject {

struct Services {
  std::function<SystemTime()> localTime;
  std::function<std::string()> moduleFileName;
  std::function<void(const std::string&)> debugOutput;
  // Answers RegQueryValueExA before the registry does; nullopt lets the registry answer.
  std::function<std::optional<long>(HKey key, const std::string& valueName, uint32_t* type,
                                    uint8_t* data, uint32_t* dataSize)>
      regQueryValue;
  // Answers MessageBoxA (platform/dialogs.h) instead of a box; caption may be null.
  std::function<int(const std::string& text, const char* caption, uint32_t type)> messageBox;
  // Replaces the message pump; returns whether a quit message was seen.
  std::function<bool()> pumpMessages;
  // Answer the two choosers: true with the chosen path, false for "cancelled".
  std::function<bool(const std::string& title, const std::string& filter,
                     const std::string& initialDir, std::string* fileName)>
      openFileDialog;
  std::function<bool(const std::string& initialDir, uint32_t options, std::string* folder)>
      selectDirectory;
  // Answer GetDriveTypeA and GetVolumeInformationA (platform/drives.h) for every root.
  std::function<uint32_t(const std::string& rootPathName)> driveType;
  std::function<bool(const std::string& rootPathName, std::string* volumeName)> volumeLabel;
  // Stand in for the folder browser (SHBrowseForFolderA) and for the window calls its
  // callback makes; a window call answers nullopt for a window that is not the stand-in's.
  std::function<ItemIdList(BrowseInfoA* info)> browseForFolder;
  std::function<std::optional<bool>(Hwnd window, WindowRect* rect)> windowRect;
  std::function<std::optional<bool>(Hwnd window, Hwnd insertAfter, int x, int y, int cx, int cy,
                                    uint32_t flags)>
      setWindowPos;
  std::function<std::optional<intptr_t>(Hwnd window, uint32_t message, uintptr_t wParam,
                                        intptr_t lParam)>
      sendMessage;
  // Answers GetSystemMetrics; nullopt lets the system answer.
  std::function<std::optional<int>(int index)> systemMetrics;
  // Answers ShellExecuteA (platform/shell.h) instead of starting anything.
  std::function<intptr_t(const std::string& operation, const std::string& file,
                         const std::string& parameters, const std::string& directory)>
      shellExecute;
};

Services& services();

// Installs replacement services for the lifetime of the object and restores the
// previous ones afterwards.
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
