// Shrink, Reduce and Implode: real archives of the old encoders, hand-made streams for
// the cases those archives lack, and damaged data.
#include <array>
#include <map>
#include <random>
#include <set>

#include "tests/unzip/decoders/decoder_fixture.h"

namespace decoder_test {
namespace {

using unzip::TEntryDecoder;

// The files of the test archives, as `unzip -v` lists them (Info-ZIP `unzip -t` passes
// every Shrink, Implode and Stored entry; no tool here decodes Reduce, whose entries are
// checked against the same files stored in PKZ204E0.ZIP).
struct Expected {
  const char* name;
  uint32_t crc;
  int64_t size;
};
constexpr Expected kTestFiles[] = {
    {"TEST.ANS", 0x5ce2f707, 68},       {"TEST.ASC", 0x7ef91c5d, 13},
    {"TEST.BMP", 0x64c6e850, 750054},   {"TEST.CAP", 0x49dfe6f2, 13},
    {"TEST.DIZ", 0xd16e82ea, 13},       {"TEST.DOC", 0x9667e483, 13},
    {"TEST.EXE", 0x68e32163, 2426368},  {"TEST.GIF", 0x195a28a8, 2646},
    {"TEST.JPG", 0x134961cd, 16461},    {"TEST.ME", 0x3a3f1a1c, 12},
    {"TEST.NFO", 0xe5fd7de3, 13},       {"TEST.PCX", 0xe63058f8, 29530},
    {"TEST.PNG", 0xdfafce04, 4163},     {"TEST.TXT", 0xb8d80e3c, 14},
    {"TEST~1.JPE", 0x134961cd, 16461},
    // HWIMPODE.ZIP
    {"TESTDAT1.TXT", 0xc71a6911, 2009}, {"TESTDAT2.TXT", 0xc8ddc359, 469},
    {"TESTDAT3.TXT", 0xc065e9c4, 81410},
    // example-i.zip, example-r.zip, example-s.zip: one file three ways
    {"I.BIN", 0x8314ddd9, 2048},        {"R.BIN", 0x8314ddd9, 2048},
    {"S.BIN", 0x8314ddd9, 2048},
};

const Expected* FindExpected(const std::string& name) {
  for (const Expected& x : kTestFiles)
    if (name == x.name) return &x;
  return nullptr;
}

// Method and Implode options (flags bits 1 and 2) of a decoded entry.
using Kind = std::pair<uint16_t, uint16_t>;

TEST(OldMethods, RealArchivesDecodeToTheirFiles) {
  const std::string plain = ReadTestFile("PKZ204E0.ZIP");
  const auto plainEntries = ReadDirectory(plain);
  std::map<std::string, std::string> contents;
  for (const auto& e : plainEntries)
    contents[e.name] = plain.substr(static_cast<size_t>(e.dataOffset),
                                    static_cast<size_t>(e.compressedSize));
  contents["I.BIN"] = contents["R.BIN"] = contents["S.BIN"] = "";  // CRC and size only

  std::set<Kind> kinds;
  std::string example;  // the decoded file of the three example archives
  for (const char* file : {"PKZ204E0.ZIP", "PKZ110ES.ZIP", "PKZ110EI.ZIP", "PKZ80B1.ZIP",
                           "PKZ80B4.ZIP", "HWIMPODE.ZIP", "example-i.zip", "example-r.zip",
                           "example-s.zip"}) {
    const std::string zip = ReadTestFile(file);
    for (const ArchiveEntry& e : ReadDirectory(zip)) {
      SCOPED_TRACE(std::string(file) + " " + e.name);
      const Expected* x = FindExpected(e.name);
      ASSERT_TRUE(x);
      ASSERT_EQ(e.crc, x->crc);
      ASSERT_EQ(e.uncompressedSize, x->size);
      FakeHost host;
      SelectEntry(host, zip, e);
      TEntryDecoder decoder(host);
      EXPECT_EQ(Decode(decoder, host), x->crc);
      EXPECT_EQ(static_cast<int64_t>(host.output.size()), x->size);
      const auto known = contents.find(e.name);
      if (known != contents.end() && !known->second.empty()) {
        EXPECT_TRUE(host.output == known->second) << "contents differ";
      }
      if (e.name.size() == 5 && e.name.substr(1) == ".BIN") {
        if (example.empty()) example = host.output;
        EXPECT_TRUE(host.output == example);
      }
      for (size_t i = 0; i + 1 < host.writeSizes.size(); ++i)
        EXPECT_EQ(host.writeSizes[i], TEntryDecoder::kBlockSize);
      EXPECT_EQ(host.progress, x->size);
      kinds.insert({e.method, static_cast<uint16_t>(e.method == 6 ? e.flags & 6 : 0)});
    }
  }
  // Stored, Shrink, Reduce 1 and 4, Implode 4 KiB with two trees, 8 KiB with three.
  const std::set<Kind> covered = {{0, 0}, {1, 0}, {2, 0}, {5, 0}, {6, 0}, {6, 6}};
  EXPECT_EQ(kinds, covered);
}

// ---- Shrink ------------------------------------------------------------------------

// Codes of 9 bits, one bit wider after each control sequence 256, 1.
std::string ShrinkStream(const std::vector<uint32_t>& codes) {
  BitWriter bits;
  int width = 9;
  for (size_t i = 0; i < codes.size(); ++i) {
    bits.Put(codes[i], width);
    if (i > 0 && codes[i - 1] == 256 && codes[i] == 1) ++width;
  }
  return bits.bytes();
}

TEST(DecodeShrunk, ControlCodesAndDamage) {
  const struct {
    const char* name;
    std::vector<uint32_t> codes;
    std::string output;
  } cases[] = {
      {"a code defined by itself", {65, 257}, "AAA"},
      {"256, 1: the codes after it are one bit wider", {65, 256, 1, 66, 257}, "ABAB"},
      // 257 = AB, 258 = BA, 259 = ABC: the clear frees 258 and 259 and keeps 257, the
      // prefix of 259; the next code defined is 258 = CD.
      {"256, 2: leaves are freed and reused from the lowest",
       {65, 66, 257, 67, 256, 2, 68, 258, 257}, "ABABCDCDAB"},
      // 257 = AB, 259 = ABC and 261 = ABCD survive the first clear, which moves the free
      // code to 258; the second clear must still see that 259 (above it) uses 257.
      {"a second clear keeps the prefixes of codes above the free code",
       {65, 66, 257, 67, 259, 68, 256, 2, 256, 2, 257}, "ABABCABCDAB"},
      {"a code wider than 13 bits stops the decoder",
       {65, 256, 1, 256, 1, 256, 1, 256, 1, 66, 256, 1, 67}, "AB"},
      // After the clear 257, the previous code, is free: the chain of 300 never ends.
      {"a chain longer than the stack stops the decoder", {65, 66, 257, 256, 2, 300, 67}, "ABAB"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeHost host;
    const std::string stream = ShrinkStream(c.codes);
    host.volumes = {stream};
    host.method = 1;
    host.compressedSize = static_cast<int64_t>(stream.size());
    host.uncompressedSize = 1000;
    TEntryDecoder decoder(host);
    EXPECT_EQ(Decode(decoder, host), ReferenceCrc(c.output));
    EXPECT_EQ(host.output, c.output);
  }
}

// What a match copies: length bytes from distance back, zeros before the output's start.
void AppendMatch(std::string& output, uint32_t distance, uint32_t length) {
  for (uint32_t k = 0; k < length; ++k) {
    const size_t at = output.size();
    output.push_back(at >= distance ? output[at - distance] : '\0');
  }
}

// Decodes a hand-made stream with bytes an earlier entry left in the window, which must
// not show through, and checks the output and its CRC; returns the output.
std::string DecodeOverStaleWindow(const std::string& stream, uint16_t method, uint16_t flags,
                                  const std::string& expected) {
  FakeHost host;
  host.volumes = {stream};
  host.method = method;
  host.flags = flags;
  host.compressedSize = static_cast<int64_t>(stream.size());
  host.uncompressedSize = static_cast<int64_t>(expected.size());
  TEntryDecoder decoder(host);
  std::memset(decoder.WindowArea(), 0xA5, TEntryDecoder::kWindowAreaSize);
  EXPECT_EQ(Decode(decoder, host), ReferenceCrc(expected));
  EXPECT_TRUE(host.output == expected);
  return host.output;
}

// ---- Reduce ------------------------------------------------------------------------

// Writes the follower sets and the byte values of a Reduce stream, and keeps the output
// the stream stands for.
class ReduceWriter {
 public:
  ReduceWriter(int factor, std::map<uint8_t, std::string> sets) : factor_(factor) {
    for (const auto& [x, s] : sets) sets_[x] = s;
    for (int x = 255; x >= 0; --x) {
      bits_.Put(static_cast<uint32_t>(sets_[x].size()), 6);
      for (const char c : sets_[x]) bits_.PutByte(static_cast<uint8_t>(c));
    }
  }
  void Literal(uint8_t c) {
    Value(c);
    if (c == 144) Value(0);
    expected.push_back(static_cast<char>(c));
  }
  void Literals(const std::string& s) {
    for (const char c : s) Literal(static_cast<uint8_t>(c));
  }
  void Match(uint32_t distance, uint32_t length) {
    const uint32_t lengthMask = 0xFFu >> factor_;
    const uint32_t n = length - 3;
    const uint32_t first = (((distance - 1) >> 8) << (8 - factor_)) | std::min(n, lengthMask);
    ASSERT_NE(first, 0u);  // would be the literal 144
    Value(144);
    Value(static_cast<uint8_t>(first));
    if (n >= lengthMask) Value(static_cast<uint8_t>(n - lengthMask));
    Value(static_cast<uint8_t>((distance - 1) & 0xFF));
    AppendMatch(expected, distance, length);
  }
  const std::string& bytes() const { return bits_.bytes(); }
  std::string expected;

 private:
  void Value(uint8_t v) {
    const std::string& set = sets_[last_];
    const size_t index = set.find(static_cast<char>(v));
    if (set.empty()) {
      bits_.PutByte(v);
    } else if (index == std::string::npos) {
      bits_.Put(1, 1);
      bits_.PutByte(v);
    } else {
      int width = 1;
      while ((1u << width) < set.size()) ++width;
      bits_.Put(0, 1);
      bits_.Put(static_cast<uint32_t>(index), width);
    }
    last_ = v;
  }
  int factor_;
  std::array<std::string, 256> sets_;
  uint8_t last_ = 0;
  BitWriter bits_;
};

TEST(DecodeReduced, EveryFactorDecodesLengthsDistancesAndEscapes) {
  std::string many;  // a follower set of 63 values: 6 index bits
  for (int c = 0x21; many.size() < 63; ++c) many.push_back(static_cast<char>(c));
  std::string pattern;
  for (int i = 0; i < 600; ++i) pattern.push_back(static_cast<char>('a' + (i * 7) % 26));
  for (int factor = 1; factor <= 4; ++factor) {
    SCOPED_TRACE(factor);
    ReduceWriter w(factor, {{0, "A"}, {'A', "BCD"}, {'x', many}, {144, "\x01"}});
    w.Match(50, 6);  // before the start of the output: zeros
    w.Literals("ACAZ");
    w.Literal(144);  // the escape byte followed by 0
    w.Literals("x!x?xZ");
    w.Literals(pattern);
    const uint32_t longest = (0xFFu >> factor) + 3 + 255;
    w.Match(300, longest);  // the length byte reaches its mask: one more length byte
    w.Match(1, 10);         // a run: source and target overlap
    w.Match((16u >> (4 - factor)) * 256 - 1, 4);  // the largest distance minus one
    w.Literal(144);
    w.Literal('e');
    const std::string output =
        DecodeOverStaleWindow(w.bytes(), static_cast<uint16_t>(factor + 1), 0, w.expected);
    EXPECT_EQ(output.substr(0, 10), std::string(6, '\0') + "ACAZ");
  }
}

// ---- Implode -----------------------------------------------------------------------

// Writes an Implode stream whose trees give every symbol the same code length (8 bits
// for literals, 6 for lengths and distances), and keeps the output it stands for.
class ImplodeWriter {
 public:
  ImplodeWriter(bool bigDictionary, bool literalTree)
      : lowBits_(bigDictionary ? 7 : 6), minMatch_(literalTree ? 3 : 2), literalTree_(literalTree) {
    if (literalTree) Tree(256, 8);
    Tree(64, 6);
    Tree(64, 6);
  }
  void Literal(uint8_t c) {
    bits_.Put(1, 1);
    if (literalTree_)
      Symbol(c, 8);
    else
      bits_.PutByte(c);
    expected.push_back(static_cast<char>(c));
  }
  void Literals(const std::string& s) {
    for (const char c : s) Literal(static_cast<uint8_t>(c));
  }
  void Match(uint32_t distance, uint32_t length) {
    bits_.Put(0, 1);
    bits_.Put((distance - 1) & ((1u << lowBits_) - 1), lowBits_);
    Symbol((distance - 1) >> lowBits_, 6);
    const uint32_t n = length - minMatch_;
    Symbol(std::min(n, 63u), 6);
    if (n >= 63) bits_.PutByte(static_cast<uint8_t>(n - 63));
    AppendMatch(expected, distance, length);
  }
  const std::string& bytes() const { return bits_.bytes(); }
  std::string expected;

 private:
  // n codes of one length, 16 to a byte.
  void Tree(int n, int length) {
    bits_.PutByte(static_cast<uint8_t>(n / 16 - 1));
    for (int i = 0; i < n / 16; ++i) bits_.PutByte(static_cast<uint8_t>(0xF0 | (length - 1)));
  }
  // Codes of one length are the symbols in order; the stream holds them complemented,
  // most significant bit first.
  void Symbol(uint32_t s, int length) {
    for (int k = length - 1; k >= 0; --k) bits_.Put(~(s >> k) & 1, 1);
  }
  int lowBits_;
  uint32_t minMatch_;
  bool literalTree_;
  BitWriter bits_;
};

TEST(DecodeImploded, BothDictionariesWithTwoAndThreeTrees) {
  for (const uint16_t flags : {0, 2, 4, 6}) {
    SCOPED_TRACE(flags);
    const bool big = flags & 2, literalTree = flags & 4;
    ImplodeWriter w(big, literalTree);
    w.Match(100, 5);  // before the start of the output: zeros
    w.Literals("Hello, implode! ");
    w.Match(7, 10);
    w.Match(20, (literalTree ? 3 : 2) + 63 + 200);  // the last length code: 8 more bits
    w.Match(300, 40);                               // uses the distance tree's code
    w.Literal(0xFF);
    w.Match(big ? 8000 : 4000, 30);  // a high distance code, again before the start
    w.Literals("end");
    const std::string output = DecodeOverStaleWindow(w.bytes(), 6, flags, w.expected);
    EXPECT_EQ(output.substr(0, 6), std::string(5, '\0') + "H");
  }
}

// ---- Damaged data ------------------------------------------------------------------

// A Reduce or Implode stream cut anywhere, under a declared size only Zip64 can give,
// writes a prefix of what the whole stream stands for and stops: no filler after it.
// The output file takes no more than the whole stream's bytes, so a decoder that ran on
// would end in ECantWriteUCF at its first block instead of filling the memory.
TEST(OldMethods, CutStreamsStopAtTheEndOfTheirData) {
  ReduceWriter reduce(4, {{0, "A"}, {'A', "BC"}, {'C', "A"}});
  reduce.Literals("ABCABCA");
  reduce.Match(3, 40);
  reduce.Literal(144);
  reduce.Literals("xyz");
  ImplodeWriter small(false, false);
  small.Literals("Hello, ");
  small.Match(7, 30);
  small.Literals("implode");
  ImplodeWriter big(true, true);
  big.Literals("tree");
  big.Match(4, 100);
  big.Literal('!');
  const struct {
    const char* name;
    uint16_t method, flags;
    const std::string& stream;
    const std::string& expected;
  } cases[] = {
      {"reduce, factor 4", 5, 0, reduce.bytes(), reduce.expected},
      {"implode, 4 KiB, two trees", 6, 0, small.bytes(), small.expected},
      {"implode, 8 KiB, three trees", 6, 6, big.bytes(), big.expected},
  };
  constexpr int64_t kDeclared = int64_t{1} << 40;
  for (const auto& c : cases) {
    size_t before = 0;  // the output of the stream cut one byte shorter
    for (size_t cut = 0; cut <= c.stream.size(); ++cut) {
      SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(cut) + " bytes of " +
                   std::to_string(c.stream.size()));
      FakeHost host;
      host.volumes = {c.stream.substr(0, cut)};
      host.method = c.method;
      host.flags = c.flags;
      host.compressedSize = static_cast<int64_t>(cut);
      host.uncompressedSize = kDeclared;
      host.acceptLimit = static_cast<int64_t>(c.expected.size());
      TEntryDecoder decoder(host);
      uint32_t crc = 0;
      ASSERT_NO_THROW(crc = Decode(decoder, host));
      EXPECT_TRUE(host.output == c.expected.substr(0, host.output.size()));
      EXPECT_EQ(host.progress, static_cast<int64_t>(host.output.size()));
      EXPECT_GE(host.output.size(), before);
      before = host.output.size();
      if (cut == c.stream.size()) {
        EXPECT_EQ(crc, ReferenceCrc(c.expected)) << "the whole stream, then nothing";
      } else if (cut + 1 == c.stream.size()) {
        EXPECT_LT(host.output.size(), c.expected.size()) << "the last step lost its bits";
      }
    }
  }
}

// kShorter: decoding stopped before the declared size, having written what it decoded.
enum class Outcome { kShorter, kNothing, kBigger, kCantWrite };

TEST(OldMethods, DamagedAndShortData) {
  const std::string exampleS = ReadTestFile("example-s.zip");
  const std::string exampleR = ReadTestFile("example-r.zip");
  const std::string exampleI = ReadTestFile("example-i.zip");
  const std::string hw = ReadTestFile("HWIMPODE.ZIP");
  const ArchiveEntry s = ReadDirectory(exampleS).at(0);
  const ArchiveEntry r = ReadDirectory(exampleR).at(0);
  const ArchiveEntry i = ReadDirectory(exampleI).at(0);
  const ArchiveEntry h = *FindEntry(ReadDirectory(hw), "TESTDAT3.TXT");
  const auto tree = [](std::initializer_list<uint8_t> description) {
    // Two trees, 4 KiB: a valid length tree (64 codes of 6 bits), then the given one.
    std::string stream = "\x03\xF5\xF5\xF5\xF5";
    for (const uint8_t b : description) stream.push_back(static_cast<char>(b));
    return stream + std::string(50, '\x55');
  };
  const auto garbage = [](size_t n) {
    std::mt19937 random(77);
    std::string g(n, '\0');
    for (char& c : g) c = static_cast<char>(random());
    return g;
  };
  const struct {
    const char* name;
    std::function<void(FakeHost&)> setup;
    Outcome outcome;
  } cases[] = {
      {"shrink: the data is cut short (decoding stops)",
       [&](FakeHost& x) { SelectEntry(x, exampleS, s); x.compressedSize = 200; }, Outcome::kShorter},
      {"reduce: the data is cut inside the follower sets (nothing to decode)",
       [&](FakeHost& x) { SelectEntry(x, exampleR, r); x.compressedSize = 150; },
       Outcome::kNothing},
      {"reduce: the data is cut short (decoding stops)",
       [&](FakeHost& x) { SelectEntry(x, exampleR, r); x.compressedSize = 240; },
       Outcome::kShorter},
      {"implode: the data is cut short (decoding stops)",
       [&](FakeHost& x) { SelectEntry(x, hw, h); x.compressedSize = 5000; },
       Outcome::kShorter},
      {"reduce: random bytes after empty follower sets (decoding stops at their end)",
       [&](FakeHost& x) {
         x.volumes = {std::string(192, '\0') + garbage(3000)};
         x.method = 3;
         x.uncompressedSize = 100000;
       },
       Outcome::kShorter},
      {"implode: tree counts that do not add up to 64",
       [&](FakeHost& x) { x.volumes = {tree({3, 0xF5, 0xF5, 0xF5, 0xE5})}; }, Outcome::kNothing},
      {"implode: tree counts past 64",
       [&](FakeHost& x) { x.volumes = {tree({4, 0xF5, 0xF5, 0xF5, 0xF5, 0x05})}; },
       Outcome::kNothing},
      {"implode: an over-subscribed tree (64 codes of 5 bits)",
       [&](FakeHost& x) { x.volumes = {tree({3, 0xF4, 0xF4, 0xF4, 0xF4})}; }, Outcome::kNothing},
      {"implode: an incomplete tree (64 codes of 7 bits)",
       [&](FakeHost& x) { x.volumes = {tree({3, 0xF6, 0xF6, 0xF6, 0xF6})}; }, Outcome::kNothing},
      {"shrink: more output than declared",
       [&](FakeHost& x) { SelectEntry(x, exampleS, s); x.uncompressedSize = 1000; },
       Outcome::kBigger},
      {"reduce: more output than declared",
       [&](FakeHost& x) { SelectEntry(x, exampleR, r); x.uncompressedSize = 1000; },
       Outcome::kBigger},
      {"implode: the output file takes fewer bytes than given",
       [&](FakeHost& x) { SelectEntry(x, exampleI, i); x.acceptLimit = 100; },
       Outcome::kCantWrite},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeHost host;
    host.method = 6;
    host.uncompressedSize = 5000;
    c.setup(host);
    host.compressedSize = std::min<int64_t>(
        host.compressedSize ? host.compressedSize : INT64_MAX,
        static_cast<int64_t>(host.volumes[0].size()) - host.position);
    const int64_t declared = host.uncompressedSize;
    TEntryDecoder decoder(host);
    Outcome outcome = Outcome::kNothing;
    uint32_t crc = 0;
    try {
      crc = Decode(decoder, host);
      const auto size = static_cast<int64_t>(host.output.size());
      outcome = size > 0 ? Outcome::kShorter : Outcome::kNothing;
      if (size > 0) {
        EXPECT_LT(size, declared);
        EXPECT_NE(crc, 0x8314ddd9u);
      }
    } catch (const unzip::EBiggerThanUncompressed&) {
      outcome = Outcome::kBigger;
    } catch (const unzip::ECantWriteUCF&) {
      outcome = Outcome::kCantWrite;
    }
    EXPECT_EQ(outcome, c.outcome);
    EXPECT_LE(static_cast<int64_t>(host.output.size()), declared);
    EXPECT_TRUE(host.messages.empty());
  }
}

// Mutated real streams: whatever the bytes, decoding ends, stays within the declared
// size and raises at most EBiggerThanUncompressed (the sanitizers watch the memory).
TEST(OldMethods, MutatedStreamsNeverEscapeTheirBuffers) {
  struct Source {
    const char* file;
    const char* entry;
  };
  const Source sources[] = {{"example-s.zip", "S.BIN"},      {"example-r.zip", "R.BIN"},
                            {"example-i.zip", "I.BIN"},      {"HWIMPODE.ZIP", "TESTDAT2.TXT"},
                            {"PKZ80B1.ZIP", "TEST.GIF"},     {"PKZ110ES.ZIP", "TEST.PNG"}};
  std::mt19937 random(20240601);
  for (const Source& source : sources) {
    SCOPED_TRACE(source.entry);
    const std::string zip = ReadTestFile(source.file);
    const ArchiveEntry e = *FindEntry(ReadDirectory(zip), source.entry);
    const std::string original = zip.substr(static_cast<size_t>(e.dataOffset),
                                            static_cast<size_t>(e.compressedSize));
    int completed = 0, bigger = 0;
    for (int iteration = 0; iteration < 600; ++iteration) {
      std::string data = original;
      switch (iteration % 4) {
        case 0:  // a few bytes changed
          for (uint32_t k = 1 + random() % 4; k > 0; --k)
            data[random() % data.size()] = static_cast<char>(random());
          break;
        case 1:  // single bits flipped
          for (uint32_t k = 1 + random() % 3; k > 0; --k)
            data[random() % data.size()] ^= static_cast<char>(1 << (random() % 8));
          break;
        case 2:  // cut short
          data.resize(random() % data.size());
          break;
        default: {  // a run of random bytes
          const size_t at = random() % data.size();
          for (size_t k = at; k < std::min(data.size(), at + 1 + random() % 64); ++k)
            data[k] = static_cast<char>(random());
        }
      }
      FakeHost host;
      host.volumes = {data};
      host.method = e.method;
      host.flags = e.flags;
      host.compressedSize = static_cast<int64_t>(data.size());
      host.uncompressedSize = e.uncompressedSize * (iteration % 5 == 0 ? 4 : 1);
      TEntryDecoder decoder(host);
      try {
        Decode(decoder, host);
        ++completed;
      } catch (const unzip::EBiggerThanUncompressed&) {
        ++bigger;
      }
      ASSERT_LE(static_cast<int64_t>(host.output.size()), host.uncompressedSize);
    }
    EXPECT_EQ(completed + bigger, 600);
  }
}

}  // namespace
}  // namespace decoder_test
