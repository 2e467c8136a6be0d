#include "installer/f_FolderDialog.h"

#include <memory>

#include "platform/files.h"

namespace {

// The browse dialog's flag of each option, by ordinal.
constexpr uint32_t kOptionFlags[] = {
    platform::kBifBrowseForComputer, platform::kBifBrowseForPrinter,
    platform::kBifDontGoBelowDomain, platform::kBifReturnFsAncestors,
    platform::kBifReturnOnlyFsDirs,  platform::kBifStatusText,
    platform::kBifNewDialogStyle,    platform::kBifNoNewFolderButton,
    platform::kBifEditBox,
};

bool IsFolder(const std::string& path) {
  const uint32_t attributes = platform::GetFileAttributesA(path);
  return attributes != platform::kInvalidFileAttributes && (attributes & platform::kAttrDirectory);
}

}  // namespace

uint32_t TFolderOptions::BrowseFlags() const {
  uint32_t flags = 0;
  for (uint32_t o = 0; o < std::size(kOptionFlags); ++o)
    if (Contains(static_cast<TOptions>(o))) flags |= kOptionFlags[o];
  return flags;
}

TFolderDialog::TFolderDialog(ui::TComponent* owner)
    : ui::TComponent(owner), Directory(platform::GetCurrentDirectoryA()) {}

bool TFolderDialog::Browse() {
  platform::BrowseInfoA info;
  auto* form = dynamic_cast<ui::TCustomForm*>(Owner());
  FOwnerHandle = form ? form->Handle() : ui::Application ? ui::Application->Handle() : 0;
  info.owner = FOwnerHandle;
  info.title = Title;
  if (!IsFolder(Directory)) Directory = platform::GetCurrentDirectoryA();
  info.flags = Options.BrowseFlags();
  info.callback = [this](platform::Hwnd dialog, uint32_t message, intptr_t param) {
    return BrowseCallback(dialog, message, param);
  };
  platform::ItemIdList chosen;
  try {
    chosen = platform::SHBrowseForFolderA(&info);
  } catch (...) {
    return false;  // an error while the dialog ran reads as no choice
  }
  std::string path;
  if (!chosen || !platform::SHGetPathFromIDListA(chosen, &path)) return false;
  Directory = path;
  FImageIndex = info.image;
  return true;
}

int TFolderDialog::BrowseCallback(platform::Hwnd dialog, uint32_t message, intptr_t /*param*/) {
  if (message != platform::kBffmInitialized) return 0;
  platform::SendMessageA(dialog, platform::kBffmSetSelectionA, 1,
                         reinterpret_cast<intptr_t>(Directory.c_str()));
  int x = 0, y = 0;
  platform::WindowRect r;  // a window nobody knows reads as one at 0, 0
  switch (DialogPosition) {
    case fdpDefault:
      platform::GetWindowRect(FOwnerHandle, &r);
      x = r.left + 20;
      y = r.top + 20;
      break;
    case fdpScreenCenter:
      if (platform::GetWindowRect(dialog, &r)) {
        x = platform::GetSystemMetrics(platform::kSmCxVirtualScreen) / 2 - (r.right - r.left) / 2;
        y = platform::GetSystemMetrics(platform::kSmCyVirtualScreen) / 2 - (r.bottom - r.top) / 2;
      }
      break;
    case fdpXY:
      x = DialogX < 0 ? 0 : DialogX;
      y = DialogY < 0 ? 0 : DialogY;
      break;
  }
  platform::SetWindowPos(dialog, platform::kHwndNoTopmost, x, y, 0, 0,
                         platform::kSwpNoSize | platform::kSwpNoZOrder);
  if (!Caption.empty())
    platform::SendMessageA(dialog, platform::kWmSetText, 0,
                           reinterpret_cast<intptr_t>(Caption.c_str()));
  return 0;
}

bool SelectFolder(const std::string& Caption, const std::string& Title, std::string& Directory,
                  TFolderOptions Options, TDialogPosition Position, int X, int Y) {
  const auto dialog = std::make_unique<TFolderDialog>();
  dialog->Caption = Caption;
  dialog->Title = Title;
  dialog->Options = Options;
  dialog->DialogPosition = Position;
  dialog->DialogX = X;
  dialog->DialogY = Y;
  dialog->Directory = Directory;
  const bool chosen = dialog->Browse();
  if (chosen) Directory = dialog->Directory;
  return chosen;
}
