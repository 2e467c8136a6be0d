// Archives spread over several volumes: spanned removable disks that carry the same
// file name, or split parts side by side.
#include "platform/dialogs.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "unzip/ZipExtractor.h"

namespace unzip {

void TZipExtractor::DecideMultiMode() {
  const std::string root = UpperCaseAscii(FZipName.substr(0, 3));
  if (root.size() >= 2 && root[1] == ':') {
    const uint32_t type = platform::GetDriveTypeA(root);
    if (type == platform::kDriveRemovable || type == platform::kDriveCdrom) {
      SetMultiMode(kMultiSpanned);
      return;
    }
  }
  SetMultiMode(kMultiSplit);
}

TStream* TZipExtractor::OpenDisk(int64_t N) {
  delete FArchiveStream;
  FArchiveStream = nullptr;
  std::string name = FZipName;
  if (GetMultiMode() == kMultiSplit) {
    const TSplitPartType type = N == FDiskCount ? spLast : (N == 1 ? spFirst : spMiddle);
    name = FPartBaseName;
    FileNameForSplitPart(name, N, type);
  } else {
    for (;;) {
      GetNextDisk(N, name);
      if (GetCheckDiskLabels() && !name.empty() && !LabelMatches(N)) continue;
      if (name.empty()) throw EUserCanceled(kCanceledNewDisk);
      if (platform::FileExists(name)) break;
    }
  }
  FArchiveStream = new TBufferedFileStream(name, BufferSize, false, fmOpenRead | fmShareDenyNone);
  FCurrentDisk = N - 1;
  FArchiveDate = FileDate(FArchiveStream);
  FZipName = name;
  return FArchiveStream;
}

void TZipExtractor::GetNextDisk(int64_t N, std::string& Name) {
  if (OnGetNextDisk) {
    OnGetNextDisk(this, static_cast<int32_t>(N), Name);
    return;
  }
  if (GetMultiMode() != kMultiSpanned) return;
  // The window framework's cursor is not reachable from here; the prompt is modal.
  const std::string text =
      Format("Please insert disk %lld of the multi-disk set.", static_cast<long long>(N))
          .substr(0, 255);
  if (HandleMessage(kMsgInsertDisk, text, "", platform::kMbOkCancel) == platform::kIdCancel) Name.clear();
}

void TZipExtractor::FileNameForSplitPart(std::string& Name, int64_t N, TSplitPartType SplitType) {
  if (OnFileNameForSplitPart) {
    OnFileNameForSplitPart(this, Name, static_cast<int32_t>(N), SplitType);
    return;
  }
  const auto n = static_cast<long long>(N);
  if (BlockMode == bmClassic)
    Name += Format(".%3.3lld", n);
  else if (SplitType == spLast)
    Name += ".zip";
  else
    Name += Format(".zip.z%2.2lld", n);
}

bool TZipExtractor::LabelMatches(int64_t N) {
  if (GetMultiMode() != kMultiSpanned) return true;
  const std::string root = UpperCaseAscii(FZipName.substr(0, 3));
  std::string label;
  // An unreadable label matches no disk: the prompt asks again or is cancelled.
  if (!platform::GetVolumeInformationA(root, &label, 14)) return false;
  label = label.substr(0, 11);
  const std::string wanted = Format("%3.3lld", static_cast<long long>(N));
  return label.size() >= 3 && label.compare(label.size() - 3, 3, wanted) == 0;
}

}  // namespace unzip
