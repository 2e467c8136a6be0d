// The window calls and the folder browser: test overrides first, then the window
// framework for its own windows, then the backend.
#include <optional>
#include <utility>

#include "platform/common/window_backend.h"
#include "platform/dialogs.h"
#include "platform/inject.h"
#include "platform/ui_hooks.h"

namespace platform {

bool GetWindowRect(Hwnd window, WindowRect* rect) {
  if (const auto& stand_in = inject::services().windowRect)
    if (const std::optional<bool> answer = stand_in(window, rect)) return *answer;
  if (auto* framework = ui_hooks::hooks().windowRect; framework && framework(window, rect))
    return true;
  return backend::GetWindowRect(window, rect);
}

bool SetWindowPos(Hwnd window, Hwnd insertAfter, int x, int y, int cx, int cy, uint32_t flags) {
  if (const auto& stand_in = inject::services().setWindowPos)
    if (const std::optional<bool> answer = stand_in(window, insertAfter, x, y, cx, cy, flags))
      return *answer;
  return backend::SetWindowPos(window, insertAfter, x, y, cx, cy, flags);
}

intptr_t SendMessageA(Hwnd window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (const auto& stand_in = inject::services().sendMessage)
    if (const std::optional<intptr_t> answer = stand_in(window, message, wParam, lParam))
      return *answer;
  return backend::SendMessageA(window, message, wParam, lParam);
}

int GetSystemMetrics(int index) {
  if (const auto& stand_in = inject::services().systemMetrics)
    if (const std::optional<int> answer = stand_in(index)) return *answer;
  int value = 0;
  if (auto* framework = ui_hooks::hooks().systemMetric; framework && framework(index, &value))
    return value;
  return backend::GetSystemMetrics(index);
}

ItemIdList SHBrowseForFolderA(BrowseInfoA* info) {
  // The owner takes no input while the dialog is open, whatever ends it.
  struct OwnerDisabled {
    Hwnd owner;
    explicit OwnerDisabled(Hwnd w) : owner(w) {
      if (auto* enable = ui_hooks::hooks().enableWindow) enable(owner, false);
    }
    ~OwnerDisabled() {
      if (auto* enable = ui_hooks::hooks().enableWindow) enable(owner, true);
    }
  } disabled(info->owner);
  if (const auto& stand_in = inject::services().browseForFolder) return stand_in(info);
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
