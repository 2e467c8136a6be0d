#include "ui/scripted_folder_browser.h"

#include <optional>
#include <stdexcept>

namespace ui {

TScriptedFolderBrowser::TScriptedFolderBrowser(TSize dialogSize) : size_(dialogSize) {
  services_->browseForFolder = [this](platform::BrowseInfoA* info) { return Browse(info); };
  services_->windowRect = [this](platform::Hwnd window,
                                 platform::WindowRect* rect) -> std::optional<bool> {
    if (window != Handle() || !open_) return std::nullopt;
    const TPoint at = last_.position;
    *rect = {at.X, at.Y, at.X + size_.cx, at.Y + size_.cy};
    return true;
  };
  services_->setWindowPos = [this](platform::Hwnd window, platform::Hwnd insertAfter, int x, int y,
                                   int cx, int cy, uint32_t flags) -> std::optional<bool> {
    if (window != Handle() || !open_) return std::nullopt;
    last_.moved = true;
    last_.position = {x, y};
    last_.insertAfter = insertAfter;
    last_.positionFlags = flags;
    if (!(flags & platform::kSwpNoSize)) size_ = {cx, cy};
    return true;
  };
  services_->sendMessage = [this](platform::Hwnd window, uint32_t message, uintptr_t wParam,
                                  intptr_t lParam) -> std::optional<intptr_t> {
    if (window != Handle() || !open_) return std::nullopt;
    const char* text = reinterpret_cast<const char*>(lParam);
    if (message == platform::kBffmSetSelectionA && wParam != 0 && text) {
      last_.selected = true;
      last_.selection = text;
    } else if (message == platform::kWmSetText && text) {
      last_.captioned = true;
      last_.caption = text;
      return 1;
    }
    return 0;
  };
}

void TScriptedFolderBrowser::ChooseFolder(const std::string& path, int imageIndex) {
  ending_ = kChooseFolder;
  folder_ = path;
  imageIndex_ = imageIndex;
}

platform::ItemIdList TScriptedFolderBrowser::Browse(platform::BrowseInfoA* info) {
  ++runs_;
  last_ = TRun{};
  last_.owner = info->owner;
  last_.title = info->title;
  last_.flags = info->flags;
  open_ = true;
  struct Closing {
    bool& open;
    ~Closing() { open = false; }
  } closing{open_};
  if (info->callback) info->callback(Handle(), platform::kBffmInitialized, 0);
  if (WhileOpen) WhileOpen();
  switch (ending_) {
    case kCancel:
      return {};
    case kChooseFolder:
      info->image = imageIndex_;
      return platform::ItemIdList::ForPath(folder_);
    case kChooseItemWithoutPath:
      return platform::ItemIdList::WithoutPath();
    case kFailInside:
      break;
  }
  throw std::runtime_error("the folder browser failed");
}

}  // namespace ui
