// The window calls and the folder browser: the tests' and the framework's overrides
// (platform/inject.h) first, then the backend.
#include <optional>
#include <utility>

#include "platform/common/window_backend.h"
#include "platform/dialogs.h"
#include "platform/inject.h"

namespace platform {

bool GetWindowRect(Hwnd window, WindowRect* rect) {
  if (auto answer = inject::Ask(&inject::Services::windowRect, window, rect)) return *answer;
  return backend::GetWindowRect(window, rect);
}

bool SetWindowPos(Hwnd window, Hwnd insertAfter, int x, int y, int cx, int cy, uint32_t flags) {
  if (auto answer =
          inject::Ask(&inject::Services::setWindowPos, window, insertAfter, x, y, cx, cy, flags))
    return *answer;
  return backend::SetWindowPos(window, insertAfter, x, y, cx, cy, flags);
}

intptr_t SendMessageA(Hwnd window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (auto answer = inject::Ask(&inject::Services::sendMessage, window, message, wParam, lParam))
    return *answer;
  return backend::SendMessageA(window, message, wParam, lParam);
}

int GetSystemMetrics(int index) {
  if (auto answer = inject::Ask(&inject::Services::systemMetrics, index)) return *answer;
  return backend::GetSystemMetrics(index);
}

ItemIdList SHBrowseForFolderA(BrowseInfoA* info) {
  // The owner takes no input while the dialog is open, whatever ends it.
  struct OwnerDisabled {
    Hwnd owner;
    explicit OwnerDisabled(Hwnd w) : owner(w) {
      inject::Ask(&inject::Services::enableWindow, owner, false);
    }
    ~OwnerDisabled() { inject::Ask(&inject::Services::enableWindow, owner, true); }
  } disabled(info->owner);
  if (auto answer = inject::Ask(&inject::Services::browseForFolder, info))
    return std::move(*answer);
  return backend::BrowseForFolder(info);
}

bool SHGetPathFromIDListA(const ItemIdList& item, std::string* path) {
  if (item.ShellItem()) return backend::ShellItemPath(item.ShellItem(), path);
  if (!item.Path()) return false;
  *path = *item.Path();
  return true;
}

// ---- ItemIdList -------------------------------------------------------------------------

ItemIdList ItemIdList::ForPath(std::string path) {
  ItemIdList item;
  item.chosen_ = item.hasPath_ = true;
  item.path_ = std::move(path);
  return item;
}

ItemIdList ItemIdList::WithoutPath() {
  ItemIdList item;
  item.chosen_ = true;
  return item;
}

ItemIdList ItemIdList::Adopt(void* shellItem) {
  ItemIdList item;
  item.shellItem_ = shellItem;
  item.chosen_ = shellItem != nullptr;
  return item;
}

ItemIdList::~ItemIdList() { Free(); }

ItemIdList::ItemIdList(ItemIdList&& other) noexcept { *this = std::move(other); }

ItemIdList& ItemIdList::operator=(ItemIdList&& other) noexcept {
  if (this != &other) {
    Free();
    shellItem_ = std::exchange(other.shellItem_, nullptr);
    chosen_ = std::exchange(other.chosen_, false);
    hasPath_ = std::exchange(other.hasPath_, false);
    path_ = std::move(other.path_);
  }
  return *this;
}

void ItemIdList::Free() {
  if (shellItem_) backend::FreeShellItem(std::exchange(shellItem_, nullptr));
}

}  // namespace platform
