// TZipExtractor: the zip extraction component. This header holds its configuration
// surface (properties, events, construction and copying, the message routine), the
// archive directory reader, the multi-volume support and the extraction driver
// (Extraction.cpp).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "unzip/BufferStreams.h"
#include "unzip/ZipExceptions.h"
#include "unzip/ZipRecords.h"

namespace unzip {

// The values of MultiMode: how the volumes of an archive are found.
constexpr int32_t kMultiNone = 0;     // one archive file
constexpr int32_t kMultiSpanned = 1;  // volumes on removable media, asked for one at a time
constexpr int32_t kMultiSplit = 2;    // parts as files side by side on a fixed drive

// The ids HandleMessage passes to OnHandleMessage.
constexpr int32_t kMsgInsertDisk = 184;     // "Please insert disk N of the multi-disk set."
constexpr int32_t kMsgFileExists = 196;     // whether to replace an existing file
constexpr int32_t kMsgUnknownMethod = 197;  // an entry's compression method is not known

class TEntryDecoder;

enum TUZOverwriteMode : uint8_t { Prompt, Always, Never, ifNewer, ifOlder };
enum TIncompleteZipMode : uint8_t { izAssumeMulti, izAssumeBad, izAssumeNotAZip };
enum TBlockMode : uint8_t { bmStandard, bmClassic };
enum TSkipReason : uint8_t {
  srBadPassword,
  srNoOverwrite,
  srFileOpenError,
  srCreateError,
  srExcludeList,
  srArchiveBitNotSet,
  srNoFileToFreshen,
  srSkippedInStartZip
};
enum TSplitPartType : uint8_t { spFirst, spMiddle, spLast };

// Events: the first argument is always the component.
using TStartUnZipInfoEvent =
    std::function<void(TObject* Sender, int32_t NumFiles, int64_t TotalBytes, bool& StopNow)>;
using TPercentDoneEvent = std::function<void(TObject* Sender, int32_t Percent)>;
using TStartUnZipEvent =
    std::function<void(TObject* Sender, int32_t FileIndex, std::string& FName, bool& Skip)>;
using TEndUnZipEvent =
    std::function<void(TObject* Sender, int32_t FileIndex, const std::string& FName)>;
using TPromptForOverwriteEvent = std::function<void(TObject* Sender, bool& OverWriteIt,
                                                    int32_t FileIndex, std::string& FName)>;
using TSkippingFileEvent = std::function<void(TObject* Sender, TSkipReason Reason,
                                              const std::string& FName, int32_t FileIndex,
                                              bool& Retry)>;
using TBadPasswordEvent =
    std::function<void(TObject* Sender, int32_t FileIndex, std::string& NewPassword)>;
using TBadCRCEvent = std::function<void(TObject* Sender, uint32_t CalcCRC, uint32_t StoredCRC,
                                        int32_t FileIndex)>;
using TInCompleteZipEvent =
    std::function<void(TObject* Sender, TIncompleteZipMode& IncompleteMode)>;
using TGetNextDiskEvent =
    std::function<void(TObject* Sender, int32_t NextDisk, std::string& FName)>;
using TUnZipCompleteEvent = std::function<void(TObject* Sender, int32_t FileCount)>;
using TGetNextBufferEvent =
    std::function<void(TObject* Sender, uint8_t*& Buffer, const std::string& FName,
                       int32_t AmountUsed, int32_t BufferNum, bool& Quit)>;
using TDecryptEvent = std::function<void(TObject* Sender, uint8_t* buffer, int32_t length,
                                         const std::string& Password)>;
using TFileNameForSplitPartEvent = std::function<void(TObject* Sender, std::string& FName,
                                                      int32_t PartNum, TSplitPartType SplitType)>;
using THandleMessageEvent =
    std::function<void(TObject* Sender, int32_t MessageID, const std::string& Msg1,
                       const std::string& Msg2, uint32_t flags, int32_t& Return)>;

class TZipExtractor : public TComponent {
 public:
  static constexpr int32_t BufferSize = 8192;
  static constexpr int32_t kThisVersion = 310;
  static constexpr int32_t kThisBuild = 1;

  explicit TZipExtractor(TComponent* Owner = nullptr);
  ~TZipExtractor() override;
  const char* ClassName() const override { return "TZipExtractor"; }

  void Assign(const TPersistent* Source) override;
  void Loaded() override;

  // ---- Properties with setters ----
  int32_t ThisVersion() const { return FThisVersion; }
  void SetThisVersion(int32_t) { FThisVersion = kThisVersion; }
  int32_t ThisBuild() const { return FThisBuild; }
  void SetThisBuild(int32_t) { FThisBuild = kThisBuild; }
  const std::string& ZipName() const { return FZipName; }
  // A name ending in "?" asks for the file with the platform's file-open dialog; the
  // same name in another letter case keeps everything; another name forgets the archive.
  virtual void SetZipName(const std::string& Value);
  const std::string& DestDir() const { return FDestDir; }
  // "?" asks with the platform's directory chooser; one trailing "\" is removed.
  void SetDestDir(const std::string& Value);
  const std::string& RootDir() const { return FRootDir; }
  void SetRootDir(const std::string& Value);
  const std::vector<std::string>& RelativePathList() const { return FRelativePathList; }
  std::vector<std::string>& RelativePathList() { return FRelativePathList; }
  const std::vector<std::string>& FilesList() const { return FFilesList; }
  std::vector<std::string>& FilesList() { return FFilesList; }
  void SetFilesList(const std::vector<std::string>& Value) { FFilesList = Value; }

  // ---- Plain properties ----
  TZipSortMode SortMode = ByNone;
  bool RecreateDirs = false;
  TUZOverwriteMode OverwriteMode = Prompt;
  bool DoAll = false;
  TIncompleteZipMode IncompleteZipMode = izAssumeMulti;
  bool KeepZipOpen = false;
  bool DoProcessMessages = true;
  bool RetainAttributes = true;
  bool ReplaceReadOnly = false;
  bool FlushFilesOnClose = false;
  TBlockMode BlockMode = bmStandard;
  TOEMConvert OEMConvert = oemAlways;
  // Verification mode: every chosen entry is decoded and its CRC checked, but nothing is
  // created on disk (no folder, no file, no overwrite question); the decoded bytes go to
  // a stream that only counts them. The events are raised as in a real extraction, so a
  // caller learns each entry's verdict through OnEndUnZip, OnBadCRC and OnSkippingFile.
  bool TestOnly = false;

  // ---- Events ----
  TStartUnZipInfoEvent OnStartUnZipInfo;
  TPercentDoneEvent OnFilePercentDone;
  TPercentDoneEvent OnTotalPercentDone;
  TStartUnZipEvent OnStartUnZip;
  TEndUnZipEvent OnEndUnZip;
  TPromptForOverwriteEvent OnPromptForOverwrite;
  TSkippingFileEvent OnSkippingFile;
  TBadPasswordEvent OnBadPassword;
  TBadCRCEvent OnBadCRC;
  TInCompleteZipEvent OnInCompleteZip;
  TGetNextDiskEvent OnGetNextDisk;
  TUnZipCompleteEvent OnUnZipComplete;
  TGetNextBufferEvent OnGetNextBuffer;
  TDecryptEvent OnDecrypt;
  TFileNameForSplitPartEvent OnFileNameForSplitPart;
  THandleMessageEvent OnHandleMessage;

  // ---- Multi-volume settings ----
  virtual bool GetCheckDiskLabels() const { return FCheckDiskLabels; }
  virtual void SetCheckDiskLabels(bool Value) { FCheckDiskLabels = Value; }
  virtual int32_t GetMultiMode() const { return FMultiMode; }
  virtual void SetMultiMode(int32_t Value) { FMultiMode = Value; }

  // The message routine: OnHandleMessage when assigned (a handler that stores no reply
  // answers Cancel), otherwise a message box without owner (an empty caption shows the
  // system's default one). Returns the button code.
  int32_t HandleMessage(int32_t MessageID, const std::string& Msg1, const std::string& Msg2,
                        uint32_t flags);

  // ---- Extraction ----
  // Opens the archive, reads its directory when needed and extracts the chosen entries
  // (every entry with DoAll, otherwise those matching FilesList) below DestDir. Returns
  // the number of entries extracted; entries given up are reported through the events.
  int32_t UnZip();
  // Rounded percentage of done in total (halves to even), 0 when total <= 0, at most 100.
  static int32_t PercentOf(int64_t done, int64_t total);
  // Entries of the last run that were chosen but not extracted because of a fault: a CRC
  // mismatch, an unknown method, a wrong password, a name that cannot be created or
  // leaves DestDir, a target that cannot be created or replaced. Entries that a handler
  // or the overwrite mode chose to leave are no faults.
  int32_t FailedCount() const { return FFailedCount; }
  // Totals of the last run.
  int64_t TotalUncompressed() const { return FTotalUncompressed; }
  int64_t TotalWritten() const { return FTotalWritten; }

  // ---- Directory ----
  // Number of entries in the directory (0 when none has been read).
  int32_t Count() const;
  // FileName of the entry at Index of the sorted view; EListError "Index %d is out of
  // range" for a bad index, as the comment queries below.
  std::string EntryFileName(int32_t Index) const;
  std::string GetFileComment(int32_t Index);
  void SetFileComment(int32_t Index, const std::string& Text);
  std::string GetZipComment();
  void SetZipComment(const std::string& Text);

  void OpenArchive();
  void CloseArchive();
  void OpenWithRetry();
  void ClearArchive();
  // Called from outside a directory read, works on the archive itself (opening it); false
  // when it cannot, the directory then left as it was.
  bool RebuildDirectory();
  void ApplySortMode(TZipSortMode Mode);
  // The last directory read could not account for the archive's bytes up to its end, or
  // found more central headers than the entry count says: the entries it found are
  // there, but the archive is damaged. The offset is where reading stopped (-1 when not
  // damaged). Both are reset whenever the archive is forgotten or read again.
  bool DirectoryDamaged() const { return FDamageOffset >= 0; }
  int64_t DirectoryDamageOffset() const { return FDamageOffset; }

  // ---- The archive read ----
  bool DirectoryRebuilt() const { return FDirectoryRebuilt; }
  int64_t DiskCount() const { return FDiskCount; }
  int64_t CurrentDisk() const { return FCurrentDisk; }
  // The name of split parts up to their numbers: ZipName up to the first "." of its file name.
  const std::string& PartBaseName() const { return FPartBaseName; }
  std::string Password;

  // ---- Listing ----
  // One entry of the directory as a listing shows it.
  struct TEntryInfo {
    std::string name;     // Directory + FileName in the ANSI code page ("?" where it cannot)
    std::string utf8Name; // the stored name, "\"-separated, when the code page cannot show it
    bool nameNotRepresentable = false;
    uint64_t size = 0;    // uncompressed
    uint64_t packed = 0;  // compressed
    uint16_t method = 0;
    uint32_t dosDateTime = 0;
    uint32_t crc32 = 0;
    uint32_t attributes = 0;  // the stored (external) attributes
    bool encrypted = false;
  };
  // The entry at Index of the sorted view; EListError for a bad index.
  TEntryInfo EntryInfo(int32_t Index) const;

 private:
  // The tests' look at the records, the end record and the volume routines.
  friend struct TZipExtractorTestAccess;

  void ReadDirectory(TStream* Stream);
  // ---- Multiple volumes (numbered from 1 here) ----
  TStream* OpenDisk(int64_t N);
  void GetNextDisk(int64_t N, std::string& Name);
  void FileNameForSplitPart(std::string& Name, int64_t N, TSplitPartType SplitType);
  bool LabelMatches(int64_t N);

  // Forgets everything read from the archive: lists, end record, stream, dates.
  void ForgetArchive();
  void ReleaseLists();
  void CheckIndex(int32_t Index) const;
  std::unique_ptr<TZipHeaderInfo> NewRecord() const;
  // The mode decision for an archive whose end record names more than one volume.
  void DecideMultiMode();
  static uint32_t FileDate(TStream* Stream);

  // ---- The steps of a directory read (ZipExtractor.cpp) ----
  // The records of one read, in the order read, before they go into EntryList.
  using TRecordList = std::vector<std::unique_ptr<TZipHeaderInfo>>;
  struct TEndLookup {
    bool found = false;
    std::unique_ptr<TBufferedFileStream> side;  // the side file, when it holds the end record
  };
  // What a rebuild found: the records in local order, where the local entries end, and
  // where the walk stopped short of the end of the file (-1 when it did not).
  struct TRebuilt {
    TRecordList records;
    int64_t localEnd = 0;
    int64_t damageOffset = -1;
  };
  void StartRead(TStream* Stream);
  TEndLookup LocateEndRecord();
  void IncompleteArchive();
  void EnterVolume(bool UseSide);
  bool CheckRoom(bool UseSide);
  std::optional<TRecordList> ReadCentralHeaders(bool WholeFile);
  void ReadVolumeComments(TStream* Side);
  [[noreturn]] void FailRead();
  void NewEntryList();
  void AdoptRecords(TRecordList Records);
  TRebuilt RebuildOrFail();
  std::optional<TRebuilt> RebuildRecords(TStream* s);
  TRecordList ReadLocalEntries(TStream* s, int64_t Size);
  void FillFromCentralHeaders(TStream* s, TRecordList& Records);
  void AdoptRebuilt(TRebuilt Rebuilt);

  // ---- Extraction driver (Extraction.cpp) ----
  class TRunHost;
  int32_t ExtractSelected();
  void ExtractEntry(int32_t Index);
  // What the steps of one entry's extraction hand on.
  struct TDataPosition {  // where an entry's data starts: the volume and the offset in it
    int64_t disk = 0;
    int64_t offset = 0;
  };
  struct TEntryPlan {
    std::string folder;      // the output folder, ending with "\"
    std::string outputName;  // the file to extract to
    std::string workName;    // the file written (outputName, or a work file beside it)
    bool replaces = false;   // the work file replaces an existing outputName once verified
    TDataPosition data;
  };
  bool CheckName(int32_t Index, TEntryPlan& Plan);
  void MakeFolder(int32_t Index, const std::string& Folder);
  bool AdmitEntry(int32_t Index, TEntryPlan& Plan);
  bool OpenOutput(int32_t Index, TEntryPlan& Plan);
  bool DecodeEntry(const TEntryPlan& Plan);
  void Verdict(int32_t Index, const TEntryPlan& Plan, bool Decoded);
  // The output folder of WorkEntry, ending with "\". Below a non-empty DestDir the stored
  // folder's "." and ".." segments are resolved; *Escapes is set when they would climb
  // out of DestDir (the entry must then be given up).
  std::string BuildEntryPath(bool* Escapes = nullptr);
  void StripRelativePath(std::string& Folder) const;
  void SkipEntry();
  void ReportProgress(int64_t N);
  bool CreateOutputFile(const std::string& Name);
  bool PasswordCheck(int32_t Index);
  bool OverwriteDecision(int32_t Index, std::string& Name, uint32_t ExistingDate);
  void GiveUp(TSkipReason Reason, const std::string& Name, int32_t Index);
  void Decode(uint16_t Method);
  static bool IsKnownMethod(uint16_t Method);
  bool HasStreamColon(const TZipHeaderInfo& Entry) const;
  // The replacement of a file: whether the target is there and may be replaced (checked
  // before decoding), a new file beside it that receives the data, and the rename that
  // puts it in the target's place once verified.
  enum class TTarget { Absent, Present, Refused };
  TTarget CheckTarget(const std::string& Name) const;
  std::string WorkFileFor(const std::string& Name);
  bool ReplaceTarget(const std::string& WorkName, const std::string& Name);
  TDataPosition DataPosition() const;
  void SeekData(const TDataPosition& At);

  int64_t FTotalUncompressed = 0;
  int64_t FTotalWritten = 0;
  // State of the run in progress (valid only inside ExtractSelected).
  int32_t FExtractedCount = 0;
  int32_t FFailedCount = 0;
  uint32_t FWorkFileNumber = 0;
  int64_t FEntryWritten = 0;
  bool FRetryEntry = false;
  bool FSkipRetry = false;
  TStream* FOutput = nullptr;
  TEntryDecoder* FDecoder = nullptr;

  int32_t FThisVersion = kThisVersion;
  int32_t FThisBuild = kThisBuild;
  std::string FZipName;
  std::string FDestDir;
  std::string FRootDir;
  std::vector<std::string> FRelativePathList;
  std::vector<std::string> FFilesList;

  TBufferedFileStream* FArchiveStream = nullptr;
  TSortedZip* FEntryList = nullptr;
  TSortedZip* FSortedView = nullptr;
  std::unique_ptr<TEndCentral> FEndCentral;
  std::unique_ptr<TZipHeaderInfo> FWorkEntry;
  uint32_t FArchiveDate = 0;
  bool FDirectoryRebuilt = false;
  int64_t FDiskCount = 1;
  int64_t FCurrentDisk = 0;
  int32_t FMultiMode = kMultiNone;
  bool FCheckDiskLabels = true;
  std::string FPartBaseName;
  // The stream ReadDirectory is reading (the archive, a volume or the side file); null
  // outside a directory read.
  TStream* FReading = nullptr;
  int64_t FDamageOffset = -1;
};

}  // namespace unzip
