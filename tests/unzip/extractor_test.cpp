// The component's configuration surface: defaults, setters, copying, the message routine.
#include <gtest/gtest.h>

#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/inject.h"
#include "tests/support/temp_dir.h"
#include "tests/unzip/helpers.h"
#include "tests/zip_writer/zip_writer.h"
#include "unzip/ZipExtractor.h"
#include "tests/unzip/extractor_access.h"

using namespace unzip;
using Access = unzip::TZipExtractorTestAccess;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

TEST(ZipExtractor, ConstructionDefaults) {
  TZipExtractor z;
  EXPECT_EQ(z.ThisVersion(), 310);
  EXPECT_EQ(z.ThisBuild(), 1);
  EXPECT_EQ(z.ZipName(), "");
  EXPECT_EQ(z.DestDir(), "");
  EXPECT_EQ(z.RootDir(), "");
  EXPECT_TRUE(z.RelativePathList().empty());
  EXPECT_TRUE(z.FilesList().empty());
  EXPECT_EQ(z.SortMode, ByNone);
  EXPECT_FALSE(z.RecreateDirs);
  EXPECT_EQ(z.OverwriteMode, Prompt);
  EXPECT_FALSE(z.DoAll);
  EXPECT_EQ(z.IncompleteZipMode, izAssumeMulti);
  EXPECT_FALSE(z.KeepZipOpen);
  EXPECT_TRUE(z.DoProcessMessages);
  EXPECT_TRUE(z.RetainAttributes);
  EXPECT_FALSE(z.ReplaceReadOnly);
  EXPECT_FALSE(z.FlushFilesOnClose);
  EXPECT_EQ(z.BlockMode, bmStandard);
  EXPECT_EQ(z.OEMConvert, oemAlways);
  EXPECT_EQ(Access::WorkEntry(z)->OemMode, oemAlways);
  EXPECT_EQ(Access::ArchiveStream(z), nullptr);
  EXPECT_EQ(Access::EntryList(z), nullptr);
  EXPECT_EQ(Access::SortedView(z), nullptr);
  EXPECT_EQ(z.DiskCount(), 1);
  EXPECT_EQ(z.CurrentDisk(), 0);
  EXPECT_TRUE(z.GetCheckDiskLabels());
  EXPECT_EQ(z.GetMultiMode(), 0);
  EXPECT_EQ(z.Count(), 0);
  EXPECT_EQ(z.Password, "");
  EXPECT_EQ(TZipExtractor::BufferSize, 8192);
  z.SetThisVersion(1);
  z.SetThisBuild(7);
  EXPECT_EQ(z.ThisVersion(), 310);
  EXPECT_EQ(z.ThisBuild(), 1);
}

TEST(ZipExtractor, AnOwnerFreesItAndLoadedTakesTheConversionMode) {
  TComponent owner(nullptr);
  auto* z = new TZipExtractor(&owner);  // released by owner
  z->OEMConvert = oemNever;
  z->BeginLoading();
  z->Loaded();
  EXPECT_EQ(Access::WorkEntry(*z)->OemMode, oemNever);
  EXPECT_EQ(z->ComponentState() & csLoading, 0u);
}

TEST(ZipExtractor, DestDirLosesOneTrailingBackslash) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"C:\\", "C:"},
      {"C:\\Program Files\\Lumora\\", "C:\\Program Files\\Lumora"},
      {"D:\\x\\\\", "D:\\x\\"},
      {"relative", "relative"},
      {"", ""},
      {"\xd6\\", "\xd6\\"},  // the "\" is the second byte of a character
  };
  TZipExtractor z;
  for (const Case& c : cases) {
    z.SetDestDir(c.in);
    EXPECT_EQ(z.DestDir(), c.out) << c.in;
  }
}

TEST(ZipExtractor, DestDirQuestionMarkAsksTheChooser) {
  platform::inject::ScopedServices services;
  std::string asked;
  uint32_t options = 0;
  bool confirm = true;
  services->selectDirectory = [&](const std::string& initial, uint32_t o, std::string* folder) {
    asked = initial;
    options = o;
    *folder = "E:\\chosen\\";
    return confirm;
  };
  TempDir dir;
  TZipExtractor z;
  z.SetDestDir(dir.path());
  z.SetDestDir("?");
  EXPECT_EQ(asked + "\\", dir.path()) << "starts from the current destination";
  EXPECT_EQ(options, platform::kDirAllowCreate | platform::kDirPromptCreate | platform::kDirPerformCreate);
  EXPECT_EQ(z.DestDir(), "E:\\chosen");
  z.SetDestDir(dir / "missing");
  z.SetDestDir("?");
  EXPECT_EQ(asked, platform::GetCurrentDirectoryA()) << "a missing folder starts from the current one";
  confirm = false;
  EXPECT_THROW_TEXT(z.SetDestDir("?"), EUserCanceled, "User canceled Set Desination Directory");
  EXPECT_EQ(z.DestDir(), "E:\\chosen");
}

TEST(ZipExtractor, RootDirFillsTheRelativePathList) {
  TZipExtractor z;
  z.SetRootDir("data");
  EXPECT_EQ(z.RootDir(), "data\\");
  EXPECT_EQ(z.RelativePathList(), std::vector<std::string>{"data\\"});
  z.SetRootDir("x\\");
  EXPECT_EQ(z.RelativePathList(), std::vector<std::string>{"x\\"});
  z.SetRootDir("");
  EXPECT_EQ(z.RootDir(), "");
  EXPECT_EQ(z.RelativePathList(), std::vector<std::string>{""});
}

TEST(ZipExtractor, ZipNameSetterKeepsOrForgetsTheDirectory) {
  TempDir dir;
  const std::string name = dir / "Arc.zip";
  ASSERT_TRUE(WriteFileBytes(name, zip_writer::Build({{"a.txt", "a"}, {"b.txt", "b"}})));
  TZipExtractor z;
  z.SetZipName(name);
  EXPECT_EQ(z.PartBaseName(), dir / "Arc");
  z.OpenArchive();
  ASSERT_EQ(z.Count(), 2);
  z.CloseArchive();
  z.SetZipName(dir / "ARC.ZIP");
  EXPECT_EQ(z.Count(), 2) << "the same path in another case keeps the directory";
  EXPECT_EQ(z.ZipName(), name);
  z.SetZipName(dir / "nowhere\\other.tar.gz");
  EXPECT_EQ(z.Count(), 0) << "another path forgets it, without opening anything";
  EXPECT_EQ(z.ZipName(), dir / "nowhere\\other.tar.gz");
  EXPECT_EQ(z.PartBaseName(), dir / "nowhere\\other");
  z.SetZipName(dir / "noext");
  EXPECT_EQ(z.PartBaseName(), dir / "noext");

  TZipExtractor designing;
  designing.SetDesigning(true);
  designing.SetZipName("x.zip?");
  EXPECT_EQ(designing.ZipName(), "x.zip?") << "while designing the value is only stored";
}

TEST(ZipExtractor, ZipNameQuestionMarkAsksForTheFile) {
  TempDir dir;
  platform::inject::ScopedServices services;
  std::string title, filter, initial;
  bool confirm = true;
  services->openFileDialog = [&](const std::string& t, const std::string& f, const std::string& i,
                                 std::string* name) {
    title = t;
    filter = f;
    initial = i;
    *name = "C:\\picked.zip";
    return confirm;
  };
  TZipExtractor z;
  z.SetZipName(dir / "?");
  EXPECT_EQ(title, "Open a Zip File");
  EXPECT_EQ(filter,
            "Zip Files (*.ZIP)|*.zip|SFX Files (*.EXE)|*.exe|Jar Files (*.JAR)|*.jar|All Files (*.*)|*.*");
  EXPECT_EQ(initial, dir.path());
  EXPECT_EQ(z.ZipName(), "C:\\picked.zip");
  z.SetZipName(dir / "missing\\?");
  EXPECT_EQ(initial, "C:\\");
  confirm = false;
  z.SetZipName("C:\\first.zip");
  EXPECT_THROW_TEXT(z.SetZipName("another?"), EUserCanceled, "User canceled setting zip file name.");
  EXPECT_EQ(z.ZipName(), "C:\\first.zip");
}

TEST(ZipExtractor, AssignCopiesTheSettingsAndMostHandlers) {
  TZipExtractor a, b;
  a.SetZipName("C:\\a.zip");
  a.SetDestDir("?x");  // not a prompt: stored as given
  a.SetRootDir("r");
  a.SortMode = ByDate;
  a.RecreateDirs = true;
  a.OverwriteMode = Never;
  a.SetFilesList({"*.txt"});
  a.DoAll = true;
  a.IncompleteZipMode = izAssumeBad;
  a.KeepZipOpen = true;
  a.DoProcessMessages = false;
  a.RetainAttributes = false;
  a.ReplaceReadOnly = true;
  a.OEMConvert = oemNever;
  a.FlushFilesOnClose = true;
  a.BlockMode = bmClassic;
  int calls = 0;
  a.OnUnZipComplete = [&](TObject*, int32_t) { ++calls; };
  a.OnFileNameForSplitPart = [&](TObject*, std::string&, int32_t, TSplitPartType) { ++calls; };
  a.OnDecrypt = [&](TObject*, uint8_t*, int32_t, const std::string&) { ++calls; };
  a.OnHandleMessage = [&](TObject*, int32_t, const std::string&, const std::string&, uint32_t,
                          int32_t&) { ++calls; };
  b.Assign(&a);
  EXPECT_EQ(b.ZipName(), "C:\\a.zip");
  EXPECT_EQ(b.DestDir(), "?x");
  EXPECT_EQ(b.RootDir(), "r\\");
  EXPECT_EQ(b.RelativePathList(), std::vector<std::string>{"r\\"});
  EXPECT_EQ(b.SortMode, ByDate);
  EXPECT_TRUE(b.RecreateDirs);
  EXPECT_EQ(b.OverwriteMode, Never);
  EXPECT_EQ(b.FilesList(), std::vector<std::string>{"*.txt"});
  EXPECT_TRUE(b.DoAll);
  EXPECT_EQ(b.IncompleteZipMode, izAssumeBad);
  EXPECT_TRUE(b.KeepZipOpen);
  EXPECT_FALSE(b.DoProcessMessages);
  EXPECT_FALSE(b.RetainAttributes);
  EXPECT_TRUE(b.ReplaceReadOnly);
  EXPECT_TRUE(b.OnUnZipComplete);
  EXPECT_TRUE(b.OnFileNameForSplitPart);
  EXPECT_FALSE(b.OnDecrypt);
  EXPECT_FALSE(b.OnHandleMessage);
  EXPECT_EQ(b.OEMConvert, oemAlways);
  EXPECT_FALSE(b.FlushFilesOnClose);
  EXPECT_EQ(b.BlockMode, bmStandard);
  TEndCentral other;
  EXPECT_THROW_TEXT(b.Assign(&other), EConvertError, "Cannot assign a TEndCentral to a TZipExtractor");
}

TEST(ZipExtractor, HandleMessageAsksTheHandlerOrShowsABox) {
  TZipExtractor z;
  platform::inject::ScopedServices services;
  std::string text;
  std::string caption = "untouched";
  uint32_t type = 99;
  services->messageBox = [&](const std::string& t, const char* c, uint32_t ty) {
    text = t;
    caption = c ? c : "<null>";
    type = ty;
    return platform::kIdOk;
  };
  EXPECT_EQ(z.HandleMessage(196, "Replace?", "File Exists Alert", 4), platform::kIdOk);
  EXPECT_EQ(text, "Replace?");
  EXPECT_EQ(caption, "File Exists Alert");
  EXPECT_EQ(type, 4u);
  z.HandleMessage(184, "Insert", "", 1);
  EXPECT_EQ(caption, "<null>") << "an empty caption leaves the system's own";

  int32_t seenId = 0;
  uint32_t seenFlags = 0;
  z.OnHandleMessage = [&](TObject* sender, int32_t id, const std::string& m1, const std::string& m2,
                          uint32_t flags, int32_t& reply) {
    EXPECT_EQ(sender, &z);
    EXPECT_EQ(m1, "one");
    EXPECT_EQ(m2, "two");
    seenId = id;
    seenFlags = flags;
    if (id == 7) reply = 6;
  };
  text.clear();
  EXPECT_EQ(z.HandleMessage(7, "one", "two", 4), 6);
  EXPECT_EQ(seenId, 7);
  EXPECT_EQ(seenFlags, 4u);
  EXPECT_TRUE(text.empty()) << "no box while a handler answers";
  EXPECT_EQ(z.HandleMessage(8, "one", "two", 4), platform::kIdCancel)
      << "a handler that stores no reply answers Cancel";
}

TEST(PlatformDialogs, UnattendedAnswersEndWhatAsked) {
  using namespace platform;
  const std::pair<uint32_t, int> cases[] = {
      {kMbOk, kIdOk},           {kMbOkCancel | kMbDefButton1, kIdCancel},
      {kMbYesNo, kIdNo},        {kMbYesNoCancel, kIdCancel},
      {kMbRetryCancel, kIdCancel}, {kMbAbortRetryIgnore, kIdAbort},
      {kMbCancelTryContinue, kIdCancel}};
  for (const auto& [type, answer] : cases) EXPECT_EQ(UnattendedAnswer(type), answer) << type;
}

TEST(PlatformDialogs, DefaultButtons) {
  using namespace platform;
  EXPECT_EQ(DefaultButtonAnswer(kMbOk), kIdOk);
  EXPECT_EQ(DefaultButtonAnswer(kMbOkCancel), kIdOk);
  EXPECT_EQ(DefaultButtonAnswer(kMbOkCancel | kMbDefButton2), kIdCancel);
  EXPECT_EQ(DefaultButtonAnswer(kMbYesNo), kIdYes);
  EXPECT_EQ(DefaultButtonAnswer(kMbYesNo | kMbDefButton2), kIdNo);
  EXPECT_EQ(DefaultButtonAnswer(kMbYesNoCancel | kMbDefButton3), kIdCancel);
  EXPECT_EQ(DefaultButtonAnswer(kMbYesNo | kMbDefButton3), kIdYes) << "no third button";
  EXPECT_EQ(DefaultButtonAnswer(kMbAbortRetryIgnore | kMbDefButton2), kIdRetry);
}

// The listing call reports each entry of the sorted view as the records hold it: the
// central header's values, the Zip64 sizes, the encryption flag, and the real name of one
// the code page cannot show.
TEST(ZipExtractor, EntryInfoListsTheSortedView) {
  TempDir dir;
  zip_writer::Entry deflated{"docs/b.txt", std::string(3000, 'b'), 8};
  deflated.dosDateTime = 0x5B2A7C21;
  deflated.externalAttributes = 0x21;
  zip_writer::Entry big{"a.bin", std::string(700, 'a')};
  big.zip64Uncompressed = big.zip64Compressed = true;
  const std::string face = "\xF0\x9F\x98\x80";  // no GBK form
  zip_writer::Entry unicode{"c" + face + ".txt", "c"};
  unicode.flags = 0x0800;
  const zip_writer::Entry locked = unzip_test::Encrypted("d.txt", "secret", "pw", 0);
  ASSERT_TRUE(WriteFileBytes(dir / "list.zip", zip_writer::Build({deflated, big, unicode, locked})));
  TZipExtractor z;
  z.SortMode = ByName;
  z.SetZipName(dir / "list.zip");
  z.OpenArchive();
  ASSERT_EQ(z.Count(), 4);

  struct Want {
    std::string name;
    uint64_t size, packed;
    uint16_t method;
    uint32_t crc, date, attributes;
    bool encrypted, notRepresentable;
  } wants[] = {
      {"a.bin", 700, 700, 0, zip_writer::Crc32(big.data), big.dosDateTime, 0x20, false, false},
      {"c?.txt", 1, 1, 0, zip_writer::Crc32("c"), unicode.dosDateTime, 0x20, false, true},
      {"d.txt", 6, 18, 0, zip_writer::Crc32("secret"), locked.dosDateTime, 0x20, true, false},
      {"docs\\b.txt", 3000, zip_writer::Deflate(deflated.data).size(), 8,
       zip_writer::Crc32(deflated.data), 0x5B2A7C21, 0x21, false, false},
  };
  for (int32_t i = 0; i < 4; ++i) {
    const TZipExtractor::TEntryInfo e = z.EntryInfo(i);
    const Want& w = wants[i];
    EXPECT_EQ(e.name, w.name) << i;
    EXPECT_EQ(e.size, w.size) << w.name;
    EXPECT_EQ(e.packed, w.packed) << w.name;
    EXPECT_EQ(e.method, w.method) << w.name;
    EXPECT_EQ(e.crc32, w.crc) << w.name;
    EXPECT_EQ(e.dosDateTime, w.date) << w.name;
    EXPECT_EQ(e.attributes, w.attributes) << w.name;
    EXPECT_EQ(e.encrypted, w.encrypted) << w.name;
    EXPECT_EQ(e.nameNotRepresentable, w.notRepresentable) << w.name;
    EXPECT_EQ(e.utf8Name, w.notRepresentable ? "c" + face + ".txt" : "") << w.name;
  }
  EXPECT_THROW(z.EntryInfo(4), EListError);
  EXPECT_THROW(z.EntryInfo(-1), EListError);
}
