// Growable lists of object references, optionally owning them, and the sorted list the
// directory records are kept in; streaming of their items by registered class name.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "unzip/Runtime.h"

namespace unzip {

class TStream;

// Receives the binary properties an object declares for streaming.
class TFiler {
 public:
  virtual ~TFiler() = default;
  virtual void DefineBinaryProperty(const std::string& name,
                                    const std::function<void(TStream*)>& readData,
                                    const std::function<void(TStream*)>& writeData,
                                    bool hasData) = 0;
};

// Count and Capacity stay below this.
inline constexpr int32_t kMaxListSize = 0x1FFFFFFF;

class TObjectList : public TPersistent {
 public:
  TObjectList() = default;
  ~TObjectList() override;
  TObjectList(const TObjectList&) = delete;
  TObjectList& operator=(const TObjectList&) = delete;
  const char* ClassName() const override { return "TObjectList"; }

  // Declares the items as the binary property "ObjectContainer".
  virtual void DefineProperties(TFiler* filer);

  // EListError "List index out of bounds (%d)".
  [[noreturn]] virtual void Error(int32_t value) const;
  virtual void Grow();
  virtual void Put(int32_t index, TObject* item);
  virtual void FreeItem(TObject* item);
  virtual int32_t Add(TObject* item);
  virtual void Clear();
  virtual int32_t IndexOf(const TObject* item) const;
  virtual void Insert(int32_t index, TObject* item);
  virtual void ReadData(TStream* stream);
  virtual void WriteData(TStream* stream);
  virtual TObject* First() const;
  virtual TObject* Last() const;
  virtual TObject* Neighbour(const TObject* item, bool forward) const;

  TObject* Get(int32_t index) const;
  TObject* operator[](int32_t index) const { return Get(index); }
  void SetCapacity(int32_t n);
  void SetCount(int32_t n);
  void FreeAll();

  int32_t Count() const { return count_; }
  int32_t Capacity() const { return capacity_; }
  bool OwnsObjects = true;

 protected:
  // The capacity that Grow makes of capacity.
  static int32_t GrownCapacity(int32_t capacity);
  // Storage: Capacity is the count of slots the list has asked for; the vector may hold
  // more, so that growing by about the square root stays cheap to copy.
  std::vector<TObject*> items_;
  int32_t count_ = 0;
  int32_t capacity_ = 0;

 private:
  void ReserveSlots(int32_t n);
};

enum TDuplicates : uint8_t { dupIgnore = 0, dupAccept = 1, dupError = 2 };

class TSortedObjectList : public TObjectList {
 public:
  explicit TSortedObjectList(TDuplicates duplicates) : Duplicates(duplicates) {}
  const char* ClassName() const override { return "TSortedObjectList"; }

  void Put(int32_t index, TObject* item) override;
  // Inserts in order and returns 0 (not the position).
  int32_t Add(TObject* item) override;
  int32_t IndexOf(const TObject* item) const override;
  // The index is ignored: the item goes where the order puts it.
  void Insert(int32_t index, TObject* item) override;
  void ReadData(TStream* stream) override;
  void WriteData(TStream* stream) override;

  virtual const TObject* KeyOf(const TObject* item) const { return item; }
  // Negative when item belongs before key. The base raises EAbstractError.
  virtual int32_t Compare(const TObject* item, const TObject* key) const;
  // Binary search; with dupAccept index is the first of the equal items.
  virtual bool Find(const TObject* key, int32_t* index) const;

  TDuplicates Duplicates;

 protected:
  // Puts items, already in the order adding them one by one would give, into the empty
  // list, with the Capacity that adding them one by one would have left.
  void AdoptOrdered(const std::vector<TObject*>& ordered);
};

// ---- Class registry for streaming ----------------------------------------------------------
struct tRegisterRec {
  std::function<TObject*()> ClassRef;  // creates an instance with its fields zero
  std::function<void(TObject*, TStream*)> Reader;
  std::function<void(TObject*, TStream*)> Writer;
};

// Registers a class for the streaming of list items under its class name (compared
// without case, cut to 63 characters); a name already registered keeps its first record.
void RegisterContainerClass(const std::string& className, const tRegisterRec& record);
// Removes a registration (tests; module end releases every record).
void UnregisterContainerClass(const std::string& className);
// The record for a class name, or null.
const tRegisterRec* FindContainerClass(const std::string& className);

}  // namespace unzip
