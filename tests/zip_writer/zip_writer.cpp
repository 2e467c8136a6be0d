#include "tests/zip_writer/zip_writer.h"

#include <zlib.h>

#include <stdexcept>

namespace zip_writer {
namespace {

void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
void Put64(std::string& out, uint64_t v) {
  Put32(out, static_cast<uint32_t>(v));
  Put32(out, static_cast<uint32_t>(v >> 32));
}

struct Placed {
  uint32_t disk = 0;
  uint64_t offset = 0;
  std::string compressed;
};

uint16_t Flags(const Entry& e) {
  return static_cast<uint16_t>(e.descriptor ? e.flags | 0x8 : e.flags);
}

std::string LocalHeader(const Entry& e, const std::string& compressed) {
  const bool z64 = e.zip64Uncompressed || e.zip64Compressed;
  const bool described = e.descriptor.has_value();
  std::string zip64;
  if (z64 && e.zip64ExtraInLocal) {
    Put16(zip64, 1);
    Put16(zip64, 16);
    Put64(zip64, described ? 0 : e.data.size());
    Put64(zip64, described ? 0 : compressed.size());
  }
  const std::string extra = e.zip64AfterLocalExtra ? e.localExtra + zip64 : zip64 + e.localExtra;
  std::string h;
  Put32(h, 0x04034b50);
  Put16(h, z64 ? 45 : 20);
  Put16(h, Flags(e));
  Put16(h, e.method);
  Put32(h, e.dosDateTime);
  Put32(h, described ? 0 : e.crc ? *e.crc : Crc32(e.data));
  Put32(h, z64 ? 0xFFFFFFFFu : described ? 0 : static_cast<uint32_t>(compressed.size()));
  Put32(h, z64 ? 0xFFFFFFFFu : described ? 0 : static_cast<uint32_t>(e.data.size()));
  Put16(h, static_cast<uint32_t>(e.name.size()));
  Put16(h, static_cast<uint32_t>(extra.size()));
  return h + e.name + extra;
}

std::string Descriptor(const Entry& e, const std::string& compressed) {
  std::string d;
  if (!e.descriptor || *e.descriptor == 0) return d;
  if (*e.descriptor != 12) Put32(d, 0x08074b50);
  Put32(d, e.crc ? *e.crc : Crc32(e.data));
  if (*e.descriptor == 24) {
    Put64(d, compressed.size());
    Put64(d, e.data.size());
  } else {
    Put32(d, static_cast<uint32_t>(compressed.size()));
    Put32(d, static_cast<uint32_t>(e.data.size()));
  }
  return d;
}

std::string CentralHeader(const Entry& e, const Placed& p) {
  std::string zip64;
  if (!e.omitZip64Extra && (e.zip64Uncompressed || e.zip64Compressed || e.zip64Offset)) {
    std::string values;
    if (e.zip64Uncompressed) Put64(values, e.data.size());
    if (e.zip64Compressed) Put64(values, p.compressed.size());
    if (e.zip64Offset) Put64(values, p.offset);
    Put16(zip64, 1);
    Put16(zip64, static_cast<uint32_t>(values.size()));
    zip64 += values;
  }
  const std::string extra = zip64 + e.centralExtra;
  std::string h;
  Put32(h, 0x02014b50);
  Put16(h, e.versionMadeBy);
  Put16(h, 20);
  Put16(h, Flags(e));
  Put16(h, e.method);
  Put32(h, e.dosDateTime);
  Put32(h, e.crc ? *e.crc : Crc32(e.data));
  Put32(h, e.zip64Compressed ? 0xFFFFFFFFu : static_cast<uint32_t>(p.compressed.size()));
  Put32(h, e.zip64Uncompressed ? 0xFFFFFFFFu : static_cast<uint32_t>(e.data.size()));
  Put16(h, static_cast<uint32_t>(e.name.size()));
  Put16(h, static_cast<uint32_t>(extra.size() + e.declaredExtraSurplus));
  Put16(h, static_cast<uint32_t>(e.comment.size()));
  Put16(h, p.disk);
  Put16(h, e.internalAttributes);
  Put32(h, e.externalAttributes);
  Put32(h, e.centralOffsetField ? *e.centralOffsetField
                                : (e.zip64Offset ? 0xFFFFFFFFu : static_cast<uint32_t>(p.offset)));
  return h + e.name + extra + e.comment;
}

std::string EndRecord(uint16_t thisDisk, uint16_t startDisk, uint16_t entriesHere, uint16_t entries,
                      uint32_t size, uint32_t offset, const std::string& comment) {
  std::string r;
  Put32(r, 0x06054b50);
  Put16(r, thisDisk);
  Put16(r, startDisk);
  Put16(r, entriesHere);
  Put16(r, entries);
  Put32(r, size);
  Put32(r, offset);
  Put16(r, static_cast<uint32_t>(comment.size()));
  return r + comment;
}

}  // namespace

uint32_t Crc32(const std::string& data) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

std::string Deflate(const std::string& data) {
  z_stream z = {};
  if (deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2");
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())) + 16, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int rc = deflate(&z, Z_FINISH);
  deflateEnd(&z);
  if (rc != Z_STREAM_END) throw std::runtime_error("deflate");
  out.resize(z.total_out);
  return out;
}

std::string Build(const std::vector<Entry>& entries, const Options& o) {
  std::string out = o.stub;
  const uint64_t base = o.offsetsIgnoreStub ? o.stub.size() : 0;
  std::vector<Placed> placed;
  for (const Entry& e : entries) {
    Placed p;
    p.offset = out.size() - base;
    p.compressed = e.rawData ? *e.rawData : e.method == 8 ? Deflate(e.data) : e.data;
    std::string h = LocalHeader(e, p.compressed);
    if (o.corruptLocal && *o.corruptLocal == placed.size()) h[2] = 'X';
    out += h + p.compressed + Descriptor(e, p.compressed);
    placed.push_back(std::move(p));
  }
  const uint64_t centralStart = out.size() - base;
  size_t written = 0;
  for (size_t i = 0; i < entries.size() && !o.omitCentral; ++i) {
    std::string h = CentralHeader(entries[i], placed[i]);
    if (o.corruptCentral && *o.corruptCentral == i) h[2] = 'X';
    out += h;
    ++written;
    for (size_t d : o.duplicateCentral)
      if (d == i) {
        out += h;
        ++written;
      }
  }
  const uint64_t centralSize = out.size() - base - centralStart;
  if (o.omitEndRecord) return out;
  const uint64_t count = o.zip64EntryCount ? *o.zip64EntryCount : written;
  if (o.zip64End) {
    const uint64_t zip64At = out.size() - base;
    Put32(out, 0x06064b50);
    Put64(out, 44);
    Put16(out, 45);
    Put16(out, 45);
    Put32(out, 0);
    Put32(out, 0);
    Put64(out, count);
    Put64(out, count);
    Put64(out, centralSize);
    Put64(out, centralStart);
    Put32(out, 0x07064b50);
    Put32(out, 0);
    Put64(out, zip64At);
    Put32(out, 1);
  }
  const uint16_t declared = o.entryCount ? *o.entryCount
                            : o.zip64End  ? 0xFFFF
                                          : static_cast<uint16_t>(written);
  out += EndRecord(o.thisDisk.value_or(0), o.startCentralDisk.value_or(0), declared, declared,
                   static_cast<uint32_t>(centralSize),
                   o.centralOffset ? *o.centralOffset
                                   : (o.zip64End ? 0xFFFFFFFFu : static_cast<uint32_t>(centralStart)),
                   o.comment);
  return out;
}

SplitSet BuildSplit(const std::vector<Entry>& entries, const std::vector<size_t>& partOf,
                    size_t partCount, size_t centralPart, size_t centralOnFirstPart,
                    const std::string& comment) {
  SplitSet set;
  set.parts.assign(partCount, std::string());
  std::vector<Placed> placed;
  for (size_t i = 0; i < entries.size(); ++i) {
    Placed p;
    p.disk = static_cast<uint32_t>(partOf[i]);
    p.offset = set.parts[partOf[i]].size();
    p.compressed = entries[i].rawData ? *entries[i].rawData
                   : entries[i].method == 8 ? Deflate(entries[i].data)
                                            : entries[i].data;
    set.parts[partOf[i]] +=
        LocalHeader(entries[i], p.compressed) + p.compressed + Descriptor(entries[i], p.compressed);
    placed.push_back(std::move(p));
  }
  const uint32_t centralOffset = static_cast<uint32_t>(set.parts[centralPart].size());
  std::string central;
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::string h = CentralHeader(entries[i], placed[i]);
    central += h;
    if (i < centralOnFirstPart || centralPart == partCount - 1)
      set.parts[centralPart] += h;
    else
      set.parts[partCount - 1] += h;
  }
  const uint16_t last = static_cast<uint16_t>(partCount - 1);
  const std::string end =
      EndRecord(last, static_cast<uint16_t>(centralPart), static_cast<uint16_t>(entries.size()),
                static_cast<uint16_t>(entries.size()), static_cast<uint32_t>(central.size()),
                centralOffset, comment);
  set.parts[partCount - 1] += end;
  set.sideFile = central + end;
  return set;
}

}  // namespace zip_writer
