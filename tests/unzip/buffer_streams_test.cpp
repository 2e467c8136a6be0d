#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/inject.h"
#include "tests/support/temp_dir.h"
#include "tests/unzip/helpers.h"
#include "unzip/BufferStreams.h"

using namespace unzip;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;
using unzip_test::MemoryStream;

TEST(BufferStreams, ReadsOneByteAtATimeThenNothing) {
  TempDir dir;
  ASSERT_TRUE(WriteFileBytes(dir / "ten.bin", "0123456789"));
  TBufferedFileStream s(dir / "ten.bin", 4, false, fmOpenRead | fmShareDenyWrite);
  std::string got;
  char c;
  while (s.Read(&c, 1) == 1) got += c;
  EXPECT_EQ(got, "0123456789");
  EXPECT_EQ(s.Read(&c, 1), 0);
  EXPECT_EQ(s.Position(), 10);
}

TEST(BufferStreams, SeekToTheCurrentPositionKeepsTheBufferAndOtherSeeksRefill) {
  MemoryStream inner(std::string(100, 'x'));
  TBufferStream s(&inner, 16);
  int fills = 0;
  s.OnFillBuffer = [&](TObject*) { ++fills; };
  char b[4];
  ASSERT_EQ(s.Read(b, 4), 4);
  EXPECT_EQ(fills, 1);
  EXPECT_EQ(s.Seek(0, soFromCurrent), 4);
  EXPECT_EQ(s.Seek(4, soFromBeginning), 4);
  ASSERT_EQ(s.Read(b, 4), 4);
  EXPECT_EQ(fills, 1) << "a seek to the current position must not re-read";
  EXPECT_EQ(s.Seek(2, soFromBeginning), 2);
  ASSERT_EQ(s.Read(b, 4), 4);
  EXPECT_EQ(fills, 2) << "a seek elsewhere reads again";
  EXPECT_EQ(s.Position(), 6);
}

TEST(BufferStreams, SeekFromTheEndIgnoresTheSignAndRejectsUnknownOrigins) {
  MemoryStream inner(std::string(50, 'x'));
  TBufferStream s(&inner, 8);
  EXPECT_EQ(s.Seek(5, soFromEnd), 45);
  EXPECT_EQ(s.Seek(-5, soFromEnd), 45);
  EXPECT_EQ(s.Seek(0, soFromEnd), 50);
  EXPECT_THROW_TEXT(s.Seek(0, 3), Exception, "Invalid seek origin (3)");
}

TEST(BufferStreams, SizeCountsBytesStillInTheWriteBufferWithoutFlushing) {
  MemoryStream inner;
  TBufferStream s(&inner, 64);
  int flushes = 0;
  s.OnFlushBuffer = [&](TObject*) { ++flushes; };
  ASSERT_EQ(s.Write("0123456789", 10), 10);
  EXPECT_EQ(s.Size(), 10);
  EXPECT_EQ(flushes, 0);
  EXPECT_TRUE(inner.data.empty());
  EXPECT_EQ(s.State(), TBufferStream::kWriting);
}

TEST(BufferStreams, PutBack) {
  MemoryStream inner("abcdef");
  TBufferStream s(&inner, 4);
  EXPECT_THROW_TEXT(s.PutBack('z'), EStreamError, "Putback overflow");  // fresh: after no read
  s.Seek(2, soFromBeginning);
  EXPECT_THROW_TEXT(s.PutBack('z'), EStreamError, "Putback overflow");
  ASSERT_TRUE(s.FillBuffer());
  EXPECT_THROW_TEXT(s.PutBack('z'), EStreamError, "Putback overflow");
  char c = 0;
  ASSERT_EQ(s.Read(&c, 1), 1);
  EXPECT_EQ(c, 'c');
  s.PutBack('Q');
  ASSERT_EQ(s.Read(&c, 1), 1);
  EXPECT_EQ(c, 'Q');
  ASSERT_EQ(s.Read(&c, 1), 1);
  EXPECT_EQ(c, 'd');
}

TEST(BufferStreams, WriteAfterReadGoesToTheLogicalPosition) {
  MemoryStream inner("0123456789");
  TBufferStream s(&inner, 8);
  char b[3];
  ASSERT_EQ(s.Read(b, 3), 3);
  ASSERT_EQ(s.Write("XY", 2), 2);
  ASSERT_EQ(s.Read(b, 2), 2);  // flushes the two bytes, then reads on after them
  EXPECT_EQ(std::string(b, 2), "56");
  EXPECT_EQ(inner.data, "012XY56789");
}

// After a write that leaves the buffer empty (it ended on a block boundary, or moved
// nothing) a read continues at the logical position: the file's next bytes, or none at
// its end, and never what the buffer held before.
TEST(BufferStreams, ReadsAfterAWriteThatEndsOnABlockBoundaryComeFromTheFile) {
  const struct {
    const char* name;
    std::string file;   // the inner stream's bytes before
    int32_t readFirst;  // bytes read before the writes
    std::vector<std::string> writes;
  } cases[] = {
      {"one write of a whole block", "", 0, {"abcdefgh"}},
      {"writes that fill the block", "", 0, {"abc", "defgh"}},
      {"a filled block and a whole one", "", 0, {"abc", "defghijklmnop"}},
      {"a whole block over a longer file", "0123456789ABCDEFGHIJ", 0, {"abcdefgh"}},
      {"a whole block after a read", "0123456789ABCDEFGHIJ", 2, {"abcdefgh"}},
      {"an empty write after a read", "0123456789", 3, {""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryStream inner(c.file);
    TBufferStream s(&inner, 8);
    std::string expected = c.file;
    if (c.readFirst > 0) {
      std::string head(static_cast<size_t>(c.readFirst), '\0');
      ASSERT_EQ(s.Read(head.data(), c.readFirst), c.readFirst);
    }
    int64_t end = c.readFirst;
    for (const std::string& w : c.writes) {
      const auto n = static_cast<int32_t>(w.size());
      ASSERT_EQ(s.Write(w.data(), n), n);
      const auto at = static_cast<size_t>(end);
      expected.replace(at, std::min(w.size(), expected.size() - at), w);
      end += static_cast<int64_t>(w.size());
    }
    EXPECT_EQ(s.Position(), end);

    const std::string next = expected.substr(static_cast<size_t>(end), 4);
    char got[4];
    EXPECT_EQ(std::string(got, static_cast<size_t>(s.Read(got, 4))), next);
    EXPECT_EQ(s.Position(), end + static_cast<int64_t>(next.size()));
    if (next.empty()) {
      EXPECT_EQ(s.Read(got, 4), 0) << "past the end";
      EXPECT_EQ(s.Position(), end);
    }

    // Seeking back over the written bytes reads them from the file.
    ASSERT_EQ(s.Seek(c.readFirst, soFromBeginning), c.readFirst);
    std::string back(expected.size() + 4, '\0');
    back.resize(static_cast<size_t>(s.Read(back.data(), static_cast<int32_t>(back.size()))));
    EXPECT_EQ(back, expected.substr(static_cast<size_t>(c.readFirst)));
    EXPECT_EQ(s.Position(), static_cast<int64_t>(expected.size()));
    EXPECT_EQ(inner.data, expected);
  }
}

TEST(BufferStreams, LongTransfersGoStraightThroughInWholeBlocks) {
  std::string big;
  for (int i = 0; i < 1000; ++i) big += static_cast<char>(i * 7);
  MemoryStream inner;
  {
    TBufferStream s(&inner, 64);
    EXPECT_EQ(s.Write("head", 4), 4);  // buffered: the next write first fills the block
    EXPECT_EQ(s.Write(big.data(), 1000), 1000);
    EXPECT_EQ(inner.data.size(), 64u + 896u) << "whole blocks written, the rest buffered";
    EXPECT_EQ(s.Position(), 1004);
  }
  EXPECT_EQ(inner.data, "head" + big);

  MemoryStream source(inner.data);
  TBufferStream r(&source, 64);
  std::string back(1004, '\0');
  ASSERT_EQ(r.Read(back.data(), 3), 3);  // one block read ahead
  ASSERT_EQ(r.Read(back.data() + 3, 1001), 1001);
  EXPECT_EQ(back, inner.data);
  EXPECT_EQ(source.reads, 3) << "the read-ahead block, 896 bytes at once, the last 44";
  EXPECT_EQ(r.Position(), 1004);
  char more;
  EXPECT_EQ(r.Read(&more, 1), 0);
}

TEST(BufferStreams, AFailedFlushShowsAsAShortWriteAndFailsASeek) {
  MemoryStream inner;
  inner.acceptLimit = 10;
  TBufferStream s(&inner, 16);
  EXPECT_EQ(s.Write(std::string(8, 'a').data(), 8), 8);  // still buffered
  EXPECT_LT(s.Write(std::string(20, 'b').data(), 20), 20);
  EXPECT_TRUE(s.WriteFailed());
  ASSERT_EQ(s.Write("cc", 2), 2);
  EXPECT_THROW_TEXT(s.Seek(0, soFromBeginning), Exception, "Seek error");

  MemoryStream refusing;
  refusing.acceptLimit = 0;
  TBufferStream t(&refusing, 16);
  ASSERT_EQ(t.Write("abc", 3), 3);
  EXPECT_FALSE(t.Flush()) << "the last bytes of a stream can be checked before it goes";
}

TEST(BufferStreams, FlushOnDestroyNeedsWriteAccess) {
  TempDir dir;
  ASSERT_TRUE(WriteFileBytes(dir / "a.bin", "abc"));
  struct Case {
    uint16_t mode;
    bool flushOnClose;
    bool expected;
  } cases[] = {
      {fmOpenRead | fmShareDenyWrite, true, false},
      {fmOpenRead | fmShareDenyNone, true, false},
      {fmCreate, true, true},
      {fmCreate, false, false},
      {fmOpenReadWrite, true, true},
  };
  for (const Case& c : cases) {
    TBufferedFileStream s(dir / "a.bin", 16, c.flushOnClose, c.mode);
    EXPECT_EQ(s.FlushOnDestroy(), c.expected) << "mode " << c.mode;
  }
}

TEST(BufferStreams, CreateModeTruncatesAndWritesThroughOnRelease) {
  TempDir dir;
  ASSERT_TRUE(WriteFileBytes(dir / "out.bin", "old contents that are longer"));
  {
    TBufferedFileStream s(dir / "out.bin", 8192, true, fmCreate);
    s.SetSize(5);
    s.SetPosition(0);
    ASSERT_EQ(s.Write("hello", 5), 5);
    EXPECT_TRUE(s.Written());
  }
  EXPECT_EQ(ReadFileBytes(dir / "out.bin"), "hello");
}

TEST(BufferStreams, OpenFailuresRaiseTheFileErrorsWithTheName) {
  TempDir dir;
  const std::string missing = dir / "missing.zip";
  try {
    TBufferedFileStream s(missing, 8192, false, fmOpenRead | fmShareDenyWrite);
    ADD_FAILURE() << "opened a missing file";
  } catch (const EFOpenError& e) {
    const std::string prefix = "Cannot open file \"" + missing + "\". ";
    EXPECT_EQ(std::string(e.what()).substr(0, prefix.size()), prefix);
    EXPECT_GT(std::string(e.what()).size(), prefix.size()) << "the system's text follows";
  }
  const std::string nowhere = dir / "no\\such\\folder\\x.bin";
  try {
    TBufferedFileStream s(nowhere, 8192, false, fmCreate);
    ADD_FAILURE() << "created a file in a missing folder";
  } catch (const EFCreateError& e) {
    const std::string prefix = "Cannot create file \"" + nowhere + "\". ";
    EXPECT_EQ(std::string(e.what()).substr(0, prefix.size()), prefix);
  }
}

TEST(BufferStreams, OpenModesShareAsTheirBitsSay) {
  TempDir dir;
  const std::string name = dir / "shared.zip";
  ASSERT_TRUE(WriteFileBytes(name, "PK"));
  using namespace platform;
  {
    TBufferedFileStream archive(name, 8192, false, fmOpenRead | fmShareDenyWrite);
    Handle reader = CreateFileA(name, kGenericRead, kShareRead | kShareWrite, kOpenExisting);
    EXPECT_NE(reader, kInvalidHandle) << "others may read the archive";
    if (reader != kInvalidHandle) CloseHandle(reader);
    Handle writer = CreateFileA(name, kGenericWrite, kShareRead | kShareWrite, kOpenExisting);
    EXPECT_EQ(writer, kInvalidHandle) << "but not write it";
    if (writer != kInvalidHandle) CloseHandle(writer);
  }
  {
    TBufferedFileStream part(name, 8192, false, fmOpenRead | fmShareDenyNone);
    Handle writer = CreateFileA(name, kGenericWrite, kShareRead | kShareWrite, kOpenExisting);
    EXPECT_NE(writer, kInvalidHandle) << "a volume lets others do anything";
    if (writer != kInvalidHandle) CloseHandle(writer);
  }
  {
    TBufferedFileStream created(dir / "new.bin", 8192, false, fmCreate);
    Handle reader = CreateFileA(dir / "new.bin", kGenericRead, kShareRead | kShareWrite, kOpenExisting);
    EXPECT_EQ(reader, kInvalidHandle) << "an extracted file is not shared";
    if (reader != kInvalidHandle) CloseHandle(reader);
  }
}

TEST(BufferStreams, CreateDirPathCreatesEveryMissingLevelAndLeavesBareDrives) {
  TempDir dir;
  const std::string deep = dir / "a\\b\\c";
  CreateDirPath(deep + "\\");
  EXPECT_TRUE(platform::DirectoryExists(dir / "a"));
  EXPECT_TRUE(platform::DirectoryExists(dir / "a\\b"));
  EXPECT_TRUE(platform::DirectoryExists(deep));
  const std::string before = platform::GetCurrentDirectoryA();
  EXPECT_TRUE(DirExistsByChDir(deep));
  EXPECT_FALSE(DirExistsByChDir(dir / "a\\nothing"));
  EXPECT_EQ(platform::GetCurrentDirectoryA(), before);
  CreateDirPath("C:");
  CreateDirPath("C:\\");
  CreateDirPath("");
  EXPECT_EQ(platform::GetCurrentDirectoryA(), before);
}

TEST(BufferStreams, PumpMessagesReachesThePlatform) {
  EXPECT_FALSE(PumpMessages()) << "no window, no messages";
  platform::inject::ScopedServices services;
  int calls = 0;
  services->pumpMessages = [&] {
    ++calls;
    return true;
  };
  EXPECT_TRUE(PumpMessages());
  EXPECT_EQ(calls, 1);
}
