// The shared input and output sides, Stored, Deflated and the traditional decryption.
#include <zlib.h>

#include <functional>
#include <random>
#include <typeinfo>

#include "tests/unzip/decoders/decoder_fixture.h"
#include "tests/unzip/expect_text.h"
#include "unzip/decoders/Crc32.h"

namespace decoder_test {
namespace {

using unzip::TEntryDecoder;

std::string Pattern(size_t n, uint32_t seed, int alphabet = 256) {
  std::mt19937 random(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(random() % static_cast<uint32_t>(alphabet));
  return s;
}

// Text that compresses well but not trivially.
std::string Words(size_t n, uint32_t seed) {
  static const char* const kWords[] = {"alpha ", "beta ", "gamma ", "delta ", "epsilon\r\n",
                                       "zeta ", "eta ", "theta ", "iota ", "kappa\r\n"};
  std::mt19937 random(seed);
  std::string s;
  while (s.size() < n) s += kWords[random() % 10];
  s.resize(n);
  return s;
}

std::string RawDeflate(const std::string& data, int level = 6) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&z, data.size()) + 16, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// A host holding one entry: `data` as the entry's stored bytes, after a few bytes of
// something else, with more after it (the next header, say).
void SetEntry(FakeHost& host, uint16_t method, const std::string& data, int64_t uncompressed) {
  host.volumes = {"LOCAL" + data + "PK\x01\x02 trailing"};
  host.volume = 0;
  host.position = 5;
  host.method = method;
  host.compressedSize = static_cast<int64_t>(data.size());
  host.uncompressedSize = uncompressed;
}

// Every write but the last fills a whole 32 KiB block, and progress counts every byte.
void ExpectWholeBlocks(const FakeHost& host) {
  for (size_t i = 0; i + 1 < host.writeSizes.size(); ++i)
    EXPECT_EQ(host.writeSizes[i], TEntryDecoder::kBlockSize) << "write " << i;
  EXPECT_EQ(host.progress, static_cast<int64_t>(host.output.size()));
  EXPECT_EQ(host.progressCalls, host.writes);
}

TEST(DecoderCrc, IsTheStandardCrc32OverAnySplit) {
  FakeHost host;
  TEntryDecoder decoder(host);
  decoder.Reset();
  decoder.UpdateCrc(reinterpret_cast<const uint8_t*>("1234"), 4);
  decoder.UpdateCrc(reinterpret_cast<const uint8_t*>("56789"), 5);
  EXPECT_EQ(~decoder.RunningCrc, 0xCBF43926u);

  const std::string data = Pattern(100000, 1);
  decoder.Reset();
  decoder.UpdateCrc(reinterpret_cast<const uint8_t*>(data.data()), 12345);
  decoder.UpdateCrc(reinterpret_cast<const uint8_t*>(data.data()) + 12345, 100000 - 12345);
  EXPECT_EQ(~decoder.RunningCrc, ReferenceCrc(data));
}

TEST(DecoderCrc, FoldingAgreesWithTheTableAtEveryLengthAndAlignment) {
  // Lengths around the folding thresholds (16, 64, 256) and block sizes, at odd offsets,
  // continuing from several CRCs.
  const std::string data = Pattern(70000, 2);
  const auto* bytes = reinterpret_cast<const uint8_t*>(data.data());
  for (size_t n : {0, 1, 15, 16, 63, 64, 65, 255, 256, 257, 271, 319, 320, 1000, 4096, 32767,
                   32768, 32769, 69990}) {
    for (size_t offset : {0, 1, 7, 9}) {
      for (uint32_t start : {0u, 0xCBF43926u, 0xFFFFFFFFu}) {
        const uint32_t expected = static_cast<uint32_t>(
            crc32(start, bytes + offset, static_cast<uInt>(n)));
        EXPECT_EQ(unzip::Crc32(start, bytes + offset, n), expected)
            << "length " << n << ", offset " << offset << ", from " << start;
      }
    }
  }
}

TEST(DecodeStored, CopiesInWholeBlocksAndCountsEveryByte) {
  for (const size_t size : {0u, 1u, 32767u, 32768u, 32769u, 100000u}) {
    SCOPED_TRACE(size);
    const std::string data = Pattern(size, static_cast<uint32_t>(size));
    FakeHost host;
    SetEntry(host, 0, data, static_cast<int64_t>(size));
    TEntryDecoder decoder(host);
    EXPECT_EQ(Decode(decoder, host), ReferenceCrc(data));
    EXPECT_EQ(host.output, data);
    const int blocks = static_cast<int>((size + 32767) / 32768);
    EXPECT_EQ(host.reads, blocks);  // read straight into the output buffer, block by block
    EXPECT_EQ(host.writes, blocks);
    EXPECT_EQ(host.pumps, blocks);
    EXPECT_EQ(host.compressedSize, 0);
    ExpectWholeBlocks(host);
  }
}

TEST(DecodeStored, EmptyEntryReadsAndWritesNothing) {
  FakeHost host;
  SetEntry(host, 0, "", 0);
  TEntryDecoder decoder(host);
  EXPECT_EQ(Decode(decoder, host), 0u);  // the complement of 0xFFFFFFFF: stored CRC 0
  EXPECT_EQ(decoder.RunningCrc, 0xFFFFFFFFu);
  EXPECT_EQ(host.reads, 0);
  EXPECT_EQ(host.writes, 0);
  EXPECT_EQ(host.progressCalls, 0);
}

// A multi-disk archive carries on at the start of the next volume, for both readers.
TEST(EntryDecoder, EntryDataContinuesOnTheNextVolumes) {
  const std::string data = Words(120000, 3);
  for (const uint16_t method : {0, 8}) {
    SCOPED_TRACE(method);
    const std::string stored = method == 0 ? data : RawDeflate(data);
    FakeHost host;
    SetEntry(host, method, stored, static_cast<int64_t>(data.size()));
    host.multiDisk = true;
    // The first volume ends 1000 bytes into the entry, the second holds 10 bytes.
    const std::string rest = host.volumes[0].substr(5 + 1000, stored.size() - 1000);
    host.volumes = {host.volumes[0].substr(0, 5 + 1000), rest.substr(0, 10), rest.substr(10)};
    TEntryDecoder decoder(host);
    EXPECT_EQ(Decode(decoder, host), ReferenceCrc(data));
    EXPECT_EQ(host.output, data);
    EXPECT_EQ(host.volumesOpened, 2);
  }
}

TEST(DecodeDeflated, InflatesStraightIntoTheOutputBlocks) {
  struct Case {
    const char* name;
    std::string data;
    int level;
  };
  const std::vector<Case> cases = {
      {"empty", "", 6},
      {"short text", "Hello, hello, hello, deflate!", 9},
      {"text, many input blocks", Words(700000, 5), 1},
      {"one byte repeated: many output blocks from one input block", std::string(3000000, 'x'), 9},
      {"incompressible: stored blocks", Pattern(200000, 9), 0},
      {"random, compressed", Pattern(150000, 11, 16), 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeHost host;
    const std::string stored = RawDeflate(c.data, c.level);
    SetEntry(host, 8, stored, static_cast<int64_t>(c.data.size()));
    TEntryDecoder decoder(host);
    EXPECT_EQ(Decode(decoder, host), ReferenceCrc(c.data));
    EXPECT_TRUE(host.output == c.data);
    EXPECT_EQ(host.output.size(), c.data.size());
    ExpectWholeBlocks(host);
    // The archive is read in blocks of 32 KiB; nothing past the entry's data is read.
    for (const int32_t r : host.readSizes) EXPECT_LE(r, TEntryDecoder::kBlockSize);
    EXPECT_EQ(host.position, static_cast<int64_t>(5 + stored.size()));
  }
}

// One fixed table of failures: each case sets up an entry and names what decoding it
// raises (the exception's class and text), or that it raises nothing.
enum class Raises { kNothing, kPremature, kZlib, kBigger, kCantWrite };

struct BadCase {
  const char* name;
  std::function<void(FakeHost&)> setup;
  Raises raises;
  size_t written;  // bytes that reached the output file
};

void RunBadCase(const BadCase& c) {
  SCOPED_TRACE(c.name);
  FakeHost host;
  c.setup(host);
  TEntryDecoder decoder(host);
  Raises raised = Raises::kNothing;
  std::string text;
  try {
    Decode(decoder, host);
  } catch (const unzip::EFatalUnzipError& e) {
    raised = Raises::kPremature;
    text = e.what();
    EXPECT_EQ(text, "Premature end of file reached");
  } catch (const unzip::EZCompressionError& e) {
    raised = Raises::kZlib;
    text = e.what();
    EXPECT_EQ(text, "error");
  } catch (const unzip::EBiggerThanUncompressed& e) {
    raised = Raises::kBigger;
    text = e.what();
    EXPECT_EQ(text, "File is larger than uncompressed size!");
  } catch (const unzip::ECantWriteUCF& e) {
    raised = Raises::kCantWrite;
    text = e.what();
    EXPECT_EQ(text, "Cant write uncompressed file");
  }
  EXPECT_EQ(raised, c.raises) << text;
  EXPECT_EQ(host.output.size(), c.written);
}

TEST(EntryDecoder, BadStoredAndDeflatedEntries) {
  const std::string data = Words(100000, 21);
  const std::string deflated = RawDeflate(data);
  const auto cut = [](FakeHost& host, size_t keep) { host.volumes[0].resize(5 + keep); };
  const std::vector<BadCase> cases = {
      {"stored: the archive ends inside the data",
       [&](FakeHost& h) { SetEntry(h, 0, data, 100000); cut(h, 40000); },
       Raises::kPremature, 32768},
      {"deflated: the archive ends inside the data",
       [&](FakeHost& h) { SetEntry(h, 8, deflated, 100000); cut(h, deflated.size() / 2); },
       Raises::kPremature, 0},
      {"deflated: the data ends before the Deflate stream",
       [&](FakeHost& h) {
         SetEntry(h, 8, deflated, 100000);
         h.compressedSize = static_cast<int64_t>(deflated.size()) - 40;
       },
       Raises::kZlib, 98304},
      {"deflated: a block of the reserved type",
       [&](FakeHost& h) { SetEntry(h, 8, "\x07garbage", 100); }, Raises::kZlib, 0},
      {"deflated: a stored block whose lengths disagree",
       [&](FakeHost& h) { SetEntry(h, 8, std::string("\x01\x05\x00\x05\x00hello", 10), 5); },
       Raises::kZlib, 0},
      {"deflated: an empty entry",
       [&](FakeHost& h) { SetEntry(h, 8, "", 0); }, Raises::kZlib, 0},
      {"stored: more data than the declared size (nothing of the last block is written)",
       [&](FakeHost& h) { SetEntry(h, 0, data, 99999); }, Raises::kBigger, 98304},
      {"deflated: more output than the declared size",
       [&](FakeHost& h) { SetEntry(h, 8, deflated, 50000); }, Raises::kBigger, 32768},
      {"stored: the output file takes fewer bytes than given",
       [&](FakeHost& h) { SetEntry(h, 0, data, 100000); h.acceptLimit = 40000; },
       Raises::kCantWrite, 40000},
      {"deflated: the output file takes fewer bytes than given",
       [&](FakeHost& h) { SetEntry(h, 8, deflated, 100000); h.acceptLimit = 10; },
       Raises::kCantWrite, 10},
  };
  for (const BadCase& c : cases) RunBadCase(c);
}

// ---- Traditional decryption -------------------------------------------------------

// An archive written by Info-ZIP zip 3.0 with -P: a stored and a deflated entry, both
// longer than one block, so the key stream runs on across blocks.
TEST(Decryption, EntriesOfAnotherEncoderDecodeWithTheirPassword) {
  const std::string zip = ReadTestFile("ENCRYPTED.ZIP");
  const auto entries = ReadDirectory(zip);
  ASSERT_EQ(entries.size(), 2u);
  const struct {
    const char* name;
    uint16_t method;
    uint32_t crc;
    int64_t size;
  } expected[] = {{"random.bin", 0, 0xce20b155, 40000}, {"words.txt", 8, 0x427dea9f, 150011}};
  for (const auto& x : expected) {
    SCOPED_TRACE(x.name);
    const ArchiveEntry* e = FindEntry(entries, x.name);
    ASSERT_TRUE(e);
    ASSERT_EQ(e->method, x.method);
    ASSERT_EQ(e->flags & 1, 1);
    // With a data descriptor (flag 8) the check byte is the high byte of the time.
    const int check = (e->flags & 8) ? e->dosTime >> 8 : static_cast<int>(e->crc >> 24);

    FakeHost host;
    SelectEntry(host, zip, *e);
    host.password = "Secret pw";
    TEntryDecoder decoder(host);
    EXPECT_EQ(decoder.DecryptHeader(host.password), check);
    EXPECT_EQ(host.compressedSize, e->compressedSize - 12);
    EXPECT_EQ(Decode(decoder, host), x.crc);
    EXPECT_EQ(static_cast<int64_t>(host.output.size()), x.size);

    FakeHost wrong;
    SelectEntry(wrong, zip, *e);
    TEntryDecoder other(wrong);
    EXPECT_NE(other.DecryptHeader("secret pw"), check);
  }
}

// Encrypted in the test with the published key schedule: stored entries are decrypted by
// the writer, the others by the reader, block by block with one key stream.
TEST(Decryption, KeyStreamRunsOnAcrossBlocks) {
  const std::string data = Words(200000, 31) + Pattern(50000, 32);
  for (const std::string password : {"pass word", ""}) {
    for (const uint16_t method : {0, 8}) {
      SCOPED_TRACE(std::to_string(method) + " '" + password + "'");
      zip_writer::Encryptor encryptor(password);
      const std::string header = encryptor.Encrypt(std::string(11, 'h') + "\xA7");
      const std::string body = encryptor.Encrypt(method == 0 ? data : RawDeflate(data));
      FakeHost host;
      SetEntry(host, method, header + body, static_cast<int64_t>(data.size()));
      host.flags = 1;
      host.password = password;
      TEntryDecoder decoder(host);
      EXPECT_EQ(decoder.DecryptHeader(password), 0xA7);
      EXPECT_EQ(Decode(decoder, host), ReferenceCrc(data));
      EXPECT_TRUE(host.output == data);
    }
  }
}

// A decryption handler of the host replaces the keys on the input side; stored data is
// still decrypted with the keys.
TEST(Decryption, HostHandlerDecryptsCompressedData) {
  const std::string data = Words(80000, 41);
  std::string scrambled = RawDeflate(data);
  for (char& c : scrambled) c = static_cast<char>(c ^ 0x5A);
  FakeHost host;
  SetEntry(host, 8, scrambled, static_cast<int64_t>(data.size()));
  host.flags = 1;
  int64_t handled = 0;
  host.onDecrypt = [&](uint8_t* buffer, int32_t n) {
    for (int32_t i = 0; i < n; ++i) buffer[i] ^= 0x5A;
    handled += n;
  };
  TEntryDecoder decoder(host);
  EXPECT_EQ(Decode(decoder, host), ReferenceCrc(data));
  EXPECT_EQ(handled, static_cast<int64_t>(scrambled.size()));

  zip_writer::Encryptor encryptor("pw");
  const std::string stored = encryptor.Encrypt(std::string(12, '\0') + data);
  SetEntry(host, 0, stored, static_cast<int64_t>(data.size()));
  host.output.clear();
  host.password = "pw";
  handled = 0;
  decoder.DecryptHeader("pw");
  EXPECT_EQ(Decode(decoder, host), ReferenceCrc(data));
  EXPECT_EQ(handled, 0);
}

TEST(Decryption, HeaderShorterThanTwelveBytes) {
  // The entry's data cannot hold a header: nothing is read, and no check byte matches.
  FakeHost host;
  SetEntry(host, 8, std::string(11, 'x'), 100);
  TEntryDecoder decoder(host);
  EXPECT_EQ(decoder.DecryptHeader("pw"), -1);
  EXPECT_EQ(host.reads, 0);
  EXPECT_EQ(host.compressedSize, 11);
  EXPECT_EQ(host.position, 5);

  // The entry claims a header but the archive ends inside it.
  SetEntry(host, 8, std::string(100, 'x'), 100);
  host.volumes[0].resize(5 + 7);
  EXPECT_THROW_TEXT(decoder.DecryptHeader("pw"), unzip::EFatalUnzipError,
                    "Premature end of file reached");
}

}  // namespace
}  // namespace decoder_test
