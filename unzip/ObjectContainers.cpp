#include "unzip/ObjectContainers.h"

#include <cmath>
#include <cstring>
#include <map>
#include <memory>

#include "unzip/BufferStreams.h"

namespace unzip {
namespace {

std::string RegistryKey(const std::string& className) {
  return UpperCaseAscii(className.substr(0, 63));
}

std::map<std::string, tRegisterRec>& ClassRegistry() {
  static std::map<std::string, tRegisterRec> registry;
  return registry;
}

uint8_t ReadByte(TStream* stream) {
  uint8_t value = 0;
  stream->ReadBuffer(&value, 1);
  return value;
}

int32_t ReadInt32(TStream* stream) {
  uint8_t bytes[4];
  stream->ReadBuffer(bytes, 4);
  return static_cast<int32_t>(static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
                              (static_cast<uint32_t>(bytes[2]) << 16) |
                              (static_cast<uint32_t>(bytes[3]) << 24));
}

void WriteByte(TStream* stream, uint8_t value) { stream->WriteBuffer(&value, 1); }

void WriteInt32(TStream* stream, int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  const uint8_t bytes[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                            static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
  stream->WriteBuffer(bytes, 4);
}

}  // namespace

void RegisterContainerClass(const std::string& className, const tRegisterRec& record) {
  ClassRegistry().emplace(RegistryKey(className), record);
}

void UnregisterContainerClass(const std::string& className) {
  ClassRegistry().erase(RegistryKey(className));
}

const tRegisterRec* FindContainerClass(const std::string& className) {
  auto& registry = ClassRegistry();
  auto it = registry.find(RegistryKey(className));
  return it == registry.end() ? nullptr : &it->second;
}

// ---- TObjectList -------------------------------------------------------------------------

TObjectList::~TObjectList() {
  FreeAll();
  Clear();
}

void TObjectList::DefineProperties(TFiler* filer) {
  filer->DefineBinaryProperty(
      "ObjectContainer", [this](TStream* s) { ReadData(s); }, [this](TStream* s) { WriteData(s); },
      count_ > 0);
}

void TObjectList::Error(int32_t value) const {
  throw EListError(Format("List index out of bounds (%d)", value));
}

int32_t TObjectList::GrownCapacity(int32_t capacity) {
  int32_t delta = 4;
  if (capacity > 8)
    delta = static_cast<int32_t>(std::nearbyint(std::sqrt(static_cast<double>(capacity))));
  else if (capacity > 4)
    delta = 8;
  return capacity + delta;
}

void TObjectList::Grow() { SetCapacity(GrownCapacity(capacity_)); }

void TObjectList::ReserveSlots(int32_t n) {
  if (n == 0) {
    std::vector<TObject*>().swap(items_);
  } else if (items_.size() < static_cast<size_t>(n)) {
    // resize grows the storage geometrically, so a run of Grow calls copies O(n) in total.
    items_.resize(static_cast<size_t>(n), nullptr);
  }
}

void TObjectList::SetCapacity(int32_t n) {
  if (n == capacity_) return;
  if (n < count_ || n >= kMaxListSize) Error(n);
  ReserveSlots(n);
  capacity_ = n;
}

void TObjectList::SetCount(int32_t n) {
  if (n < 0 || n >= kMaxListSize) Error(n);
  if (n > capacity_) SetCapacity(n);
  for (int32_t i = count_; i < n; ++i) items_[static_cast<size_t>(i)] = nullptr;
  count_ = n;
}

TObject* TObjectList::Get(int32_t index) const {
  if (index < 0 || index >= count_) Error(index);
  return items_[static_cast<size_t>(index)];
}

void TObjectList::Put(int32_t index, TObject* item) {
  if (index < 0 || index >= count_) Error(index);
  items_[static_cast<size_t>(index)] = item;
}

void TObjectList::FreeItem(TObject* item) {
  if (OwnsObjects) delete item;
}

int32_t TObjectList::Add(TObject* item) {
  if (count_ == capacity_) Grow();
  items_[static_cast<size_t>(count_)] = item;
  return count_++;
}

void TObjectList::Clear() {
  SetCount(0);
  SetCapacity(0);
}

int32_t TObjectList::IndexOf(const TObject* item) const {
  for (int32_t i = 0; i < count_; ++i)
    if (items_[static_cast<size_t>(i)] == item) return i;
  return -1;
}

void TObjectList::Insert(int32_t index, TObject* item) {
  if (index < 0 || index > count_) Error(index);
  if (count_ == capacity_) Grow();
  TObject** slots = items_.data();
  std::memmove(slots + index + 1, slots + index,
               static_cast<size_t>(count_ - index) * sizeof(TObject*));
  slots[index] = item;
  ++count_;
}

void TObjectList::FreeAll() {
  for (int32_t i = 0; i < count_; ++i) FreeItem(items_[static_cast<size_t>(i)]);
  Clear();
}

TObject* TObjectList::First() const { return Get(0); }

TObject* TObjectList::Last() const { return Get(count_ - 1); }

TObject* TObjectList::Neighbour(const TObject* item, bool forward) const {
  if (!item) return forward ? First() : Last();
  int32_t index = IndexOf(item);
  if (index < 0) throw EListError(Format("tObject %s not in item list", item->ClassName()));
  index += forward ? 1 : -1;
  return index >= 0 && index < count_ ? items_[static_cast<size_t>(index)] : nullptr;
}

void TObjectList::ReadData(TStream* stream) {
  OwnsObjects = ReadByte(stream) != 0;
  const int32_t stored = ReadInt32(stream);
  if (stored > 0 && capacity_ - count_ < stored) {
    // Each item takes at least its name-length byte: room for more than the stream can
    // hold is not reserved.
    const int64_t left = std::max<int64_t>(0, stream->Size() - stream->Position());
    const int64_t wanted = std::min<int64_t>(stored, left);
    if (capacity_ - count_ < wanted)
      SetCapacity(static_cast<int32_t>(std::min<int64_t>(count_ + wanted, kMaxListSize)));
  }
  for (int32_t i = 0; i < stored; ++i) {
    const uint8_t length = ReadByte(stream);
    std::string name(length, '\0');
    stream->ReadBuffer(name.data(), length);
    const tRegisterRec* record = FindContainerClass(name);
    if (!record) throw EClassNotFound(Format("Class <%s> not registered", name.c_str()));
    std::unique_ptr<TObject> item(record->ClassRef());
    record->Reader(item.get(), stream);
    const int32_t before = count_;
    Add(item.get());
    // An item that an ignore rule left out was never the list's: it goes here.
    if (count_ != before) item.release();
  }
}

void TObjectList::WriteData(TStream* stream) {
  WriteByte(stream, OwnsObjects ? 1 : 0);
  WriteInt32(stream, count_);
  for (int32_t i = 0; i < count_; ++i) {
    TObject* item = items_[static_cast<size_t>(i)];
    if (!item) throw EClassNotFound("Nil Source Class!");
    const std::string name = std::string(item->ClassName()).substr(0, 63);
    const tRegisterRec* record = FindContainerClass(name);
    if (!record) throw EClassNotFound(Format("Source Class <%s> not registered", name.c_str()));
    WriteByte(stream, static_cast<uint8_t>(name.size()));
    stream->WriteBuffer(name.data(), static_cast<int32_t>(name.size()));
    record->Writer(item, stream);
  }
}

// ---- TSortedObjectList -------------------------------------------------------------------

void TSortedObjectList::Put(int32_t /*index*/, TObject* /*item*/) {
  throw EListError("Cannot <Put> an Object in a sorted list!");
}

int32_t TSortedObjectList::Compare(const TObject* /*item*/, const TObject* /*key*/) const {
  throw EAbstractError("Abstract Error");
}

bool TSortedObjectList::Find(const TObject* key, int32_t* index) const {
  bool found = false;
  int32_t lo = 0;
  int32_t hi = count_ - 1;
  while (lo <= hi) {
    const int32_t mid = lo + (hi - lo) / 2;
    const int32_t c = Compare(KeyOf(items_[static_cast<size_t>(mid)]), key);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (Duplicates != dupAccept) lo = mid;
      }
    }
  }
  *index = lo;
  return found;
}

void TSortedObjectList::Insert(int32_t /*index*/, TObject* item) {
  int32_t at = 0;
  if (Find(KeyOf(item), &at)) {
    if (Duplicates == dupIgnore) return;
    if (Duplicates == dupError) throw EListError("Duplicate Object index");
  }
  TObjectList::Insert(at, item);
}

int32_t TSortedObjectList::Add(TObject* item) {
  Insert(0, item);
  return 0;
}

int32_t TSortedObjectList::IndexOf(const TObject* item) const {
  int32_t at = 0;
  return Find(KeyOf(item), &at) ? at : -1;
}

void TSortedObjectList::ReadData(TStream* stream) {
  Duplicates = static_cast<TDuplicates>(ReadByte(stream));
  TObjectList::ReadData(stream);
}

void TSortedObjectList::WriteData(TStream* stream) {
  WriteByte(stream, Duplicates);
  TObjectList::WriteData(stream);
}

void TSortedObjectList::AdoptOrdered(const std::vector<TObject*>& ordered) {
  // Adding one by one grows the capacity whenever the count reaches it (items that an
  // ignore rule drops never reach the growth step).
  const auto adds = static_cast<int32_t>(ordered.size());
  int32_t capacity = capacity_;
  while (capacity < adds) capacity = GrownCapacity(capacity);
  SetCapacity(capacity);
  for (size_t i = 0; i < ordered.size(); ++i) items_[i] = ordered[i];
  count_ = static_cast<int32_t>(ordered.size());
}

}  // namespace unzip
