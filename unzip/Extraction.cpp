// The extraction driver: one run over the directory (selection, announcement, the
// entries one after the other, the end of the run) and the per-entry routine that builds
// the output path, checks the password, decides about an existing file, creates the
// output file, has the data decoded and verified, and stamps date and attributes.
#include <algorithm>
#include <cmath>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/system.h"
#include "unzip/Wildcard.h"
#include "unzip/ZipExtractor.h"
#include "unzip/decoders/EntryDecoder.h"

namespace unzip {

namespace {

// Access right that reads a file's times whatever share mode its other openers chose.
constexpr uint32_t kFileReadAttributes = 0x80;

// The output of a verification run: counts the bytes and keeps none.
class TNullStream : public TStream {
 public:
  const char* ClassName() const override { return "TNullStream"; }
  int32_t Read(void*, int32_t) override { return 0; }
  int32_t Write(const void*, int32_t count) override {
    if (count <= 0) return 0;
    position_ += count;
    size_ = std::max(size_, position_);
    return count;
  }
  int64_t Seek(int64_t offset, uint16_t origin) override {
    const int64_t target = origin == soFromBeginning ? offset
                           : origin == soFromCurrent ? position_ + offset
                                                     : size_ + offset;
    if (target < 0) return -1;
    position_ = target;
    return position_;
  }
  void SetSize(int64_t newSize) override { size_ = newSize; }

 private:
  int64_t position_ = 0;
  int64_t size_ = 0;
};

// What a path segment means to the file system. Windows removes trailing dots and spaces
// from a segment, so a segment of only dots and spaces other than "." and ".." (".. ",
// "...") cannot be told apart from them safely.
enum class TSegment { Name, Current, Parent, Ambiguous };

TSegment ClassifySegment(std::string_view segment) {
  if (segment.empty() || segment == ".") return TSegment::Current;
  if (segment == "..") return TSegment::Parent;
  for (const char c : segment)
    if (c != '.' && c != ' ') return TSegment::Name;
  return TSegment::Ambiguous;
}

// Resolves the "." and ".." segments (and empty ones) of a "\"-separated relative path,
// walking GBK characters so that a 0x5C trail byte never splits a segment. False when a
// ".." would climb above the start or a segment is ambiguous. The result ends with "\"
// unless it is empty.
bool ResolveRelative(const std::string& relative, std::string& resolved) {
  std::vector<std::string_view> kept;
  const std::string_view text(relative);
  size_t start = 0;
  for (size_t i = 0; i <= text.size();) {
    if (i < text.size() && platform::IsDBCSLeadByte(static_cast<uint8_t>(text[i])) &&
        i + 1 < text.size()) {
      i += 2;
      continue;
    }
    if (i == text.size() || text[i] == '\\') {
      const std::string_view segment = text.substr(start, i - start);
      switch (ClassifySegment(segment)) {
        case TSegment::Name:
          kept.push_back(segment);
          break;
        case TSegment::Current:
          break;
        case TSegment::Parent:
          if (kept.empty()) return false;
          kept.pop_back();
          break;
        case TSegment::Ambiguous:
          return false;
      }
      start = i + 1;
    }
    ++i;
  }
  resolved.clear();
  for (const std::string_view segment : kept) {
    resolved.append(segment);
    resolved += '\\';
  }
  return true;
}

// The folder part of a file path: up to the last "\" or ":", the "\" itself dropped
// unless it follows a ":" or another "\" (a trail byte 0x5C is no "\").
std::string FolderOf(const std::string& path) {
  const size_t at = AnsiLastDelimiter("\\:", path);
  if (at == std::string::npos) return {};
  if (at > 0 && path[at] == '\\') {
    const bool afterSeparator =
        (path[at - 1] == ':' || path[at - 1] == '\\') && !IsTrailByte(path, at - 1);
    if (!afterSeparator) return path.substr(0, at);
  }
  return path.substr(0, at + 1);
}

// A file (not a folder) exists at path and its last-write time reads as a DOS date.
bool FileExistsTest(const std::string& path, uint32_t* dosDateTime) {
  const uint32_t attributes = platform::GetFileAttributesA(path);
  if (attributes == platform::kInvalidFileAttributes || (attributes & platform::kAttrDirectory))
    return false;
  const platform::Handle h = platform::CreateFileA(
      path, kFileReadAttributes,
      platform::kShareRead | platform::kShareWrite | platform::kShareDelete,
      platform::kOpenExisting);
  if (h == platform::kInvalidHandle) return false;
  const bool dated = platform::GetFileDosDateTime(h, dosDateTime);
  platform::CloseHandle(h);
  return dated;
}

}  // namespace

// What the decoders reach of the component during a run.
class TZipExtractor::TRunHost : public TDecoderHost {
 public:
  explicit TRunHost(TZipExtractor& z) : z_(z) {}

  int32_t ReadArchive(void* buffer, int32_t count) override {
    return z_.FArchiveStream ? z_.FArchiveStream->Read(buffer, count) : 0;
  }
  bool MultiDisk() override { return z_.FEndCentral->ThisDisk32() != 0; }
  void OpenNextVolume() override { z_.OpenDisk(z_.FCurrentDisk + 2); }
  bool Decrypt(uint8_t* buffer, int32_t length) override {
    if (!z_.OnDecrypt) return false;
    z_.OnDecrypt(&z_, buffer, length, z_.Password);
    return true;
  }
  void PumpMessages() override {
    if (z_.DoProcessMessages) unzip::PumpMessages();
  }
  int32_t HandleMessage(int32_t messageId, const std::string& text, const std::string& caption,
                        uint32_t flags) override {
    return z_.HandleMessage(messageId, text, caption, flags);
  }

  int64_t CompressedSize64() override {
    return static_cast<int64_t>(z_.FWorkEntry->CompressedSize64());
  }
  void SetCompressedSize64(int64_t value) override { z_.FWorkEntry->SetCompressedSize64(value); }
  int64_t UncompressedSize64() override {
    return static_cast<int64_t>(z_.FWorkEntry->UncompressedSize64());
  }
  uint16_t Flags() override { return z_.FWorkEntry->Flags; }
  uint16_t CompressionMethod() override { return z_.FWorkEntry->CompressionMethod; }
  const std::string& Password() override { return z_.Password; }

  int32_t WriteOutput(const void* buffer, int32_t count) override {
    return z_.FOutput->Write(buffer, count);
  }
  // The output goes forward only, from 0, and every block written is reported: the
  // bytes reported so far are the position, without asking the stream.
  int64_t OutputPosition() override { return z_.FEntryWritten; }
  void ReportProgress(int64_t n) override { z_.ReportProgress(n); }

 private:
  TZipExtractor& z_;
};

// ---- UnZip ---------------------------------------------------------------------------------

int32_t TZipExtractor::UnZip() {
  if (FDestDir == "?") return 0;
  OpenWithRetry();
  OpenArchive();
  const int32_t count = ExtractSelected();
  CloseArchive();
  return count;
}

int32_t TZipExtractor::ExtractSelected() {
  const bool keepOpen = KeepZipOpen;
  KeepZipOpen = true;
  FExtractedCount = 0;
  FFailedCount = 0;
  FSkipRetry = false;
  bool sortSwitched = false;
  const TZipSortMode savedSort = SortMode;
  TRunHost host(*this);
  std::unique_ptr<TEntryDecoder> decoder;

  const auto endOfRun = [&] {
    FDecoder = nullptr;
    decoder.reset();
    FFilesList.clear();
    if (sortSwitched) ApplySortMode(savedSort);
    if (OnUnZipComplete) OnUnZipComplete(this, FExtractedCount);
    KeepZipOpen = keepOpen;
  };

  try {
    // The decoder owns the run's three work buffers.
    decoder = std::make_unique<TEntryDecoder>(host);
    FDecoder = decoder.get();
    if (!TestOnly && !FDestDir.empty() && !platform::DirectoryExists(FDestDir))
      CreateDirPath(FDestDir);
    // Volumes are read in their physical order, whatever the sort mode.
    if (FEndCentral->ThisDisk32() != 0 && SortMode != ByNone) {
      ApplySortMode(ByNone);
      sortSwitched = true;
    }
    FTotalUncompressed = 0;
    FTotalWritten = 0;
    const int32_t count = Count();
    int32_t selected = count;
    std::vector<std::string> patterns;
    if (!DoAll) {
      patterns.reserve(FFilesList.size());
      for (const std::string& item : FFilesList) patterns.push_back(LowerCaseAscii(item));
    }
    for (int32_t i = 0; i < count; ++i) {
      if (DoProcessMessages) unzip::PumpMessages();
      TZipHeaderInfo* entry = FSortedView->Entry(i);
      entry->Selected = DoAll;
      if (entry->FileName().empty() && !RecreateDirs) {
        entry->Selected = false;
        --selected;
        continue;
      }
      if (DoAll) {
        entry->Selected = true;
      } else {
        const std::string name = LowerCaseAscii(entry->Directory() + entry->FileName());
        for (const std::string& pattern : patterns) {
          if (WildcardMatch(pattern, name)) {
            entry->Selected = true;
            break;
          }
        }
      }
      if (entry->Selected)
        FTotalUncompressed += static_cast<int64_t>(entry->UncompressedSize64());
      else
        --selected;
    }

    bool stopNow = false;
    if (OnStartUnZipInfo) OnStartUnZipInfo(this, selected, FTotalUncompressed, stopNow);
    if (selected > 0 && !stopNow) {
      for (int32_t i = 0; i < count; ++i) {
        if (!FSortedView->Entry(i)->Selected) continue;
        do {
          ExtractEntry(i);
        } while (FRetryEntry);
      }
    }
  } catch (...) {
    endOfRun();
    throw;
  }
  endOfRun();
  return FExtractedCount;
}

// ---- One entry -------------------------------------------------------------------------------

void TZipExtractor::GiveUp(TSkipReason Reason, const std::string& Name, int32_t Index) {
  // Leaving a file the overwrite rule keeps is a choice; every other reason is a fault.
  if (Reason != srNoOverwrite) ++FFailedCount;
  if (OnSkippingFile) OnSkippingFile(this, Reason, Name, Index, FSkipRetry);
  SkipEntry();
}

void TZipExtractor::ExtractEntry(int32_t Index) {
  FRetryEntry = false;
  FWorkEntry->Assign(FSortedView->Entry(Index));
  TEntryPlan plan;
  if (!CheckName(Index, plan)) return;                     // name check
  if (FWorkEntry->FileName().empty()) return MakeFolder(Index, plan.folder);
  if (!AdmitEntry(Index, plan)) return;                    // start event, password, overwrite, method
  if (!OpenOutput(Index, plan)) return;                    // output: the target or its work file
  const bool decoded = DecodeEntry(plan);                  // Decode(method) into the output
  Verdict(Index, plan, decoded);                           // CRC and size, rename, attributes
}

// Name check: a name the code page can show (else something would be created under a
// made-up name; a verification creates nothing, there only the data counts), and a path
// that stays inside DestDir without naming a stream. A file's local header is read on the
// way, in the archive's order, to find where its data starts.
bool TZipExtractor::CheckName(int32_t Index, TEntryPlan& Plan) {
  const TZipHeaderInfo& w = *FWorkEntry;
  const bool isFolder = w.FileName().empty();
  if (w.NameNotRepresentable && !TestOnly) {
    GiveUp(srCreateError, w.Directory() + w.FileName(), Index);
    return false;
  }
  if (!isFolder) {
    if (FEndCentral->ThisDisk32() > 0 && w.DiskNumberStart32() != FCurrentDisk)
      OpenDisk(static_cast<int64_t>(w.DiskNumberStart32()) + 1);
    FArchiveStream->Seek(static_cast<int64_t>(w.LocalHeaderOffset64()), soFromBeginning);
    StepOverLocalHeader(FArchiveStream);
    Plan.data = DataPosition();
  }
  bool escapes = false;
  Plan.folder = BuildEntryPath(&escapes);
  // A ":" past a drive names a stream of a file on Windows, or is refused there.
  if (HasStreamColon(w)) escapes = true;
  if (!isFolder) {
    Plan.outputName = Plan.folder + w.FileName();
    // The file name itself must name a file inside the folder, not the folder or its parent.
    if (!FDestDir.empty() && ClassifySegment(w.FileName()) != TSegment::Name) escapes = true;
  }
  if (escapes) GiveUp(srCreateError, isFolder ? Plan.folder : Plan.outputName, Index);
  return !escapes;
}

// A folder entry: the folder made (with RecreateDirs) and given its attributes.
void TZipExtractor::MakeFolder(int32_t Index, const std::string& Folder) {
  if (!TestOnly) {
    if (RecreateDirs && !platform::DirectoryExists(Folder)) CreateDirPath(Folder);
    if (!platform::DirectoryExists(Folder)) return GiveUp(srCreateError, Folder, Index);
    if (RetainAttributes) platform::SetFileAttributesA(Folder, FWorkEntry->ExternalAttributes);
  }
  ++FExtractedCount;
}

// Admission: OnStartUnZip may skip or rename, the output folder is made, the password
// checked (the data then starts after the encryption header), the overwrite rule asked,
// and the method must be one Decode knows.
bool TZipExtractor::AdmitEntry(int32_t Index, TEntryPlan& Plan) {
  const TZipHeaderInfo& w = *FWorkEntry;
  bool skip = false;
  if (OnStartUnZip) OnStartUnZip(this, Index, Plan.outputName, skip);
  if (skip) return false;
  if (!TestOnly) {
    const std::string outputFolder = FolderOf(Plan.outputName);
    if (!platform::DirectoryExists(outputFolder)) CreateDirPath(outputFolder);
  }
  if (w.IsEncrypted()) {
    if (!PasswordCheck(Index)) {
      GiveUp(srBadPassword, w.Directory() + w.FileName(), Index);
      return false;
    }
    Plan.data = DataPosition();  // after the encryption header, on whichever volume it ended
  }
  uint32_t existingDate = 0;
  if (!TestOnly && OverwriteMode != Always && FileExistsTest(Plan.outputName, &existingDate) &&
      !OverwriteDecision(Index, Plan.outputName, existingDate)) {
    GiveUp(srNoOverwrite, Plan.outputName, Index);
    return false;
  }
  if (!IsKnownMethod(w.CompressionMethod)) {
    HandleMessage(kMsgUnknownMethod, "Unknown Compression Method", "Zip Error", platform::kMbOk);
    ++FFailedCount;
    SkipEntry();
    return false;
  }
  return true;
}

// Output: an existing file is replaced only once the entry's data has been verified: the
// data goes to a file of its own beside it, which then takes its place in one rename, so an
// entry that fails leaves the file as it was. A target that cannot be replaced is found
// before any work is done. A file that does not exist yet is written under its name.
bool TZipExtractor::OpenOutput(int32_t Index, TEntryPlan& Plan) {
  const TTarget target = TestOnly ? TTarget::Absent : CheckTarget(Plan.outputName);
  if (target == TTarget::Refused) {
    GiveUp(srCreateError, Plan.outputName, Index);
    return false;
  }
  Plan.replaces = target == TTarget::Present;
  Plan.workName = TestOnly        ? std::string()
                  : Plan.replaces ? WorkFileFor(Plan.outputName)
                                  : Plan.outputName;
  if (CreateOutputFile(Plan.workName)) return true;
  GiveUp(srCreateError, Plan.outputName, Index);
  return false;
}

// Decoding: the data from where it starts through Decode(method) into the output, whose
// last block is flushed and which is dated through its handle. False when the data would
// pass the declared size. On an exception the output is removed.
bool TZipExtractor::DecodeEntry(const TEntryPlan& Plan) {
  std::unique_ptr<TStream> output(FOutput);
  const auto dropOutput = [&] {
    output.reset();
    FOutput = nullptr;
  };
  FEntryWritten = 0;
  bool success = false;
  try {
    FDecoder->Reset();
    SeekData(Plan.data);
    try {
      Decode(FWorkEntry->CompressionMethod);
      success = true;
    } catch (const EBiggerThanUncompressed&) {
      success = false;
    }
    if (success && !TestOnly) {
      auto* file = static_cast<TBufferedFileStream*>(output.get());
      // The last block must reach the file before it is dated and closed.
      if (!file->Flush()) throw ECantWriteUCF();
      // Dated through the open handle: the same effect as opening it again, one open less.
      platform::SetFileDosDateTime(file->Handle(), SanitizeDosDateTime(FWorkEntry->FileDateTime));
    }
  } catch (...) {
    dropOutput();
    if (!TestOnly) platform::DeleteFileA(Plan.workName);
    throw;
  }
  dropOutput();
  return success;
}

// Verdict: data whose CRC matches and that gave exactly the declared size takes the
// target's place and gets the stored attributes; other data is removed and reported (bad
// password, which may bring a retry, or bad CRC) and counted as a fault.
void TZipExtractor::Verdict(int32_t Index, const TEntryPlan& Plan, bool Decoded) {
  const TZipHeaderInfo& w = *FWorkEntry;
  const uint32_t crc = ~FDecoder->RunningCrc;
  // Data that ends before the declared size would leave the file's zero-filled tail in
  // place of bytes the archive does not have, whatever the CRC of what came.
  const bool whole = FEntryWritten == static_cast<int64_t>(w.UncompressedSize64());
  if (crc == w.Crc32 && whole) {
    if (Plan.replaces && !ReplaceTarget(Plan.workName, Plan.outputName))
      return GiveUp(srCreateError, Plan.outputName, Index);
    if (!TestOnly && Decoded && RetainAttributes)
      platform::SetFileAttributesA(Plan.outputName, w.ExternalAttributes);
    if (OnEndUnZip) OnEndUnZip(this, Index, Plan.outputName);
    ++FExtractedCount;
    return;
  }
  if (!TestOnly) platform::DeleteFileA(Plan.workName);
  if (w.IsEncrypted()) {
    if (OnBadPassword) {
      std::string newPassword = Password;
      OnBadPassword(this, Index, newPassword);
      if (newPassword != Password) {
        Password = newPassword;
        FRetryEntry = true;
      }
    }
    if (!FRetryEntry && OnSkippingFile)
      OnSkippingFile(this, srBadPassword, w.Directory() + w.FileName(), Index, FSkipRetry);
  } else if (OnBadCRC) {
    OnBadCRC(this, crc, w.Crc32, Index);
  }
  if (!FRetryEntry) ++FFailedCount;
}

// Decode: one dispatch on the compression method.
void TZipExtractor::Decode(uint16_t Method) {
  switch (Method) {
    case 0:
      FDecoder->DecodeStored();
      break;
    case 1:
      FDecoder->DecodeShrunk();
      break;
    case 2:
    case 3:
    case 4:
    case 5:
      FDecoder->DecodeReduced(Method - 1);
      break;
    case 6:
      FDecoder->DecodeImploded();
      break;
    case 8:
      FDecoder->DecodeDeflated();
      break;
    default:
      break;
  }
}

bool TZipExtractor::IsKnownMethod(uint16_t Method) {
  return Method <= 6 || Method == 8;
}

bool TZipExtractor::HasStreamColon(const TZipHeaderInfo& Entry) const {
  // ":" is never a GBK trail byte, so a byte search finds only real colons.
  if (Entry.FileName().find(':') != std::string::npos) return true;
  if (!RecreateDirs) return false;
  const std::string& d = Entry.Directory();
  const size_t from = d.size() >= 2 && d[1] == ':' ? 2 : 0;  // "C:" is a drive
  return d.find(':', from) != std::string::npos;
}

TZipExtractor::TDataPosition TZipExtractor::DataPosition() const {
  return {FCurrentDisk, FArchiveStream->Position()};
}

void TZipExtractor::SeekData(const TDataPosition& At) {
  if (At.disk != FCurrentDisk) OpenDisk(At.disk + 1);
  FArchiveStream->Seek(At.offset, soFromBeginning);
}

bool TZipExtractor::PasswordCheck(int32_t Index) {
  TZipHeaderInfo& w = *FWorkEntry;
  const int check = w.HasDataDescriptor() ? static_cast<int>((w.FileDateTime >> 8) & 0xFF)
                                          : static_cast<int>(w.Crc32 >> 24);
  // The header may end on the next volume: a retry starts again where it began.
  const TDataPosition header = DataPosition();
  for (;;) {
    const int last = FDecoder->DecryptHeader(Password);
    if (last == check) return true;
    if (!OnBadPassword) return false;
    std::string newPassword = Password;
    OnBadPassword(this, Index, newPassword);
    if (newPassword == Password) return false;
    Password = newPassword;
    if (last >= 0) {  // a header was read: read it again with the new password
      SeekData(header);
      w.SetCompressedSize64(static_cast<int64_t>(w.CompressedSize64()) + 12);
    }
  }
}

bool TZipExtractor::OverwriteDecision(int32_t Index, std::string& Name,
                                      uint32_t ExistingDate) {
  switch (OverwriteMode) {
    case Prompt: {
      if (OnPromptForOverwrite) {
        bool overwrite = false;
        OnPromptForOverwrite(this, overwrite, Index, Name);  // the handler may rename
        return overwrite;
      }
      const std::string text =
          ("Replace existing file " + EntryFileName(Index) + "?").substr(0, 301);
      return HandleMessage(kMsgFileExists, text, "File Exists Alert", platform::kMbYesNo) == platform::kIdYes;
    }
    case Never:
      return false;
    case ifNewer:
    case ifOlder: {
      const int64_t entry = DosDateTimeSeconds(SanitizeDosDateTime(FWorkEntry->FileDateTime));
      const int64_t existing = DosDateTimeSeconds(ExistingDate);
      return OverwriteMode == ifNewer ? entry > existing : entry < existing;
    }
    case Always:
    default:
      return true;
  }
}

bool TZipExtractor::CreateOutputFile(const std::string& Name) {
  const auto size = static_cast<int64_t>(FWorkEntry->UncompressedSize64());
  if (TestOnly) {
    FOutput = new TNullStream();
    FOutput->SetSize(size);
    return true;
  }
  std::unique_ptr<TBufferedFileStream> file;
  try {
    file = std::make_unique<TBufferedFileStream>(Name, BufferSize, FlushFilesOnClose, fmCreate);
    file->SetSize(size);
    file->SetPosition(0);
    FOutput = file.release();
    return true;
  } catch (const Exception&) {
    if (file) {  // created but not sized: nothing of the entry stays behind
      file.reset();
      platform::DeleteFileA(Name);
    }
    return false;
  }
}

TZipExtractor::TTarget TZipExtractor::CheckTarget(const std::string& Name) const {
  const uint32_t attributes = platform::GetFileAttributesA(Name);
  if (attributes == platform::kInvalidFileAttributes) return TTarget::Absent;
  if (attributes & platform::kAttrDirectory) return TTarget::Refused;
  // A read-only file is replaced only with ReplaceReadOnly; its attribute is cleared
  // when the verified data takes its place.
  if (attributes & platform::kAttrReadOnly)
    return ReplaceReadOnly ? TTarget::Present : TTarget::Refused;
  // Another opener that does not share writing (a running program) keeps it.
  const platform::Handle h = platform::CreateFileA(
      Name, platform::kGenericWrite,
      platform::kShareRead | platform::kShareWrite | platform::kShareDelete,
      platform::kOpenExisting);
  if (h == platform::kInvalidHandle) return TTarget::Refused;
  platform::CloseHandle(h);
  return TTarget::Present;
}

std::string TZipExtractor::WorkFileFor(const std::string& Name) {
  const size_t at = AnsiLastDelimiter("\\:", Name);
  const std::string folder = at == std::string::npos ? std::string() : Name.substr(0, at + 1);
  for (;;) {
    const std::string candidate = folder + Format("~unz%08X.tmp", FWorkFileNumber++);
    if (platform::GetFileAttributesA(candidate) == platform::kInvalidFileAttributes)
      return candidate;
  }
}

bool TZipExtractor::ReplaceTarget(const std::string& WorkName, const std::string& Name) {
  uint32_t cleared = platform::kInvalidFileAttributes;
  if (ReplaceReadOnly) {
    const uint32_t attributes = platform::GetFileAttributesA(Name);
    if (attributes != platform::kInvalidFileAttributes &&
        (attributes & platform::kAttrReadOnly) && !(attributes & platform::kAttrDirectory)) {
      platform::SetFileAttributesA(Name, attributes & ~platform::kAttrReadOnly);
      cleared = attributes;
    }
  }
  if (platform::MoveFileExA(WorkName, Name, platform::kMoveFileReplaceExisting)) return true;
  if (cleared != platform::kInvalidFileAttributes) platform::SetFileAttributesA(Name, cleared);
  platform::DeleteFileA(WorkName);
  return false;
}

// ---- Paths ---------------------------------------------------------------------------------

std::string TZipExtractor::BuildEntryPath(bool* Escapes) {
  if (Escapes) *Escapes = false;
  const TZipHeaderInfo& w = *FWorkEntry;
  std::string below;  // the stored folder, relative to DestDir
  if (RecreateDirs && !w.Directory().empty()) {
    std::string d = w.Directory();
    if (!FRelativePathList.empty()) StripRelativePath(d);
    const bool rooted = !d.empty() && d[0] == '\\';
    const bool drive = d.size() >= 2 && d[1] == ':';
    if (rooted || drive) {
      if (FDestDir.empty()) return d;
      // Below DestDir whatever its root: "\x\" and "C:\x\" (also "C:x\") give DestDir\x\.
      below = d.substr(rooted ? 1 : 2);
    } else {
      below = d;
    }
  }
  // Without a destination the path is rooted at the current drive, as stored.
  if (FDestDir.empty()) return "\\" + below;
  std::string resolved;
  if (!ResolveRelative(below, resolved)) {
    if (Escapes) *Escapes = true;
    return FDestDir + "\\" + below;
  }
  return FDestDir + "\\" + resolved;
}

void TZipExtractor::StripRelativePath(std::string& Folder) const {
  for (const std::string& item : FRelativePathList) {
    if (item.size() > Folder.size()) continue;
    // The prefix must end on a character boundary to be the same characters.
    if (item.size() < Folder.size() && IsTrailByte(Folder, item.size())) continue;
    if (SameTextAnsi(Folder.substr(0, item.size()), item)) {
      Folder.erase(0, item.size());
      return;
    }
  }
}

// ---- Bookkeeping -----------------------------------------------------------------------------

void TZipExtractor::SkipEntry() {
  FTotalUncompressed -= static_cast<int64_t>(FWorkEntry->UncompressedSize64());
}

void TZipExtractor::ReportProgress(int64_t N) {
  FEntryWritten += N;
  if (OnFilePercentDone)
    OnFilePercentDone(this, PercentOf(FEntryWritten,
                                      static_cast<int64_t>(FWorkEntry->UncompressedSize64())));
  if (OnTotalPercentDone) {
    FTotalWritten += N;
    OnTotalPercentDone(this, PercentOf(FTotalWritten, FTotalUncompressed));
  }
}

int32_t TZipExtractor::PercentOf(int64_t done, int64_t total) {
  if (total <= 0) return 0;
  // nearbyint rounds halves to even in the default rounding mode.
  const double percent =
      std::nearbyint(static_cast<double>(done) * 100.0 / static_cast<double>(total));
  if (percent >= 100.0) return 100;
  return percent <= 0.0 ? 0 : static_cast<int32_t>(percent);
}

}  // namespace unzip
