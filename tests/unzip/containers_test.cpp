#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tests/unzip/helpers.h"
#include "unzip/ObjectContainers.h"

using namespace unzip;
using unzip_test::MemoryStream;

namespace {

class TItem : public TObject {
 public:
  explicit TItem(int k = 0, std::string t = {}) : key(k), tag(std::move(t)) {}
  const char* ClassName() const override { return "TItem"; }
  int key;
  std::string tag;
};

class TItemList : public TSortedObjectList {
 public:
  explicit TItemList(TDuplicates d) : TSortedObjectList(d) {}
  int32_t Compare(const TObject* a, const TObject* b) const override {
    return static_cast<const TItem*>(a)->key - static_cast<const TItem*>(b)->key;
  }
};

std::string Tags(const TObjectList& list) {
  std::string out;
  for (int32_t i = 0; i < list.Count(); ++i) out += static_cast<TItem*>(list.Get(i))->tag;
  return out;
}

}  // namespace

TEST(ObjectList, CapacityGrowsByAboutItsSquareRoot) {
  const std::vector<int32_t> expected = {0, 4, 8, 16, 20, 24, 29, 34, 40, 46, 53, 60};
  TObjectList list;
  std::vector<int32_t> seen = {list.Capacity()};
  while (list.Count() < 60) {
    list.Add(new TItem(list.Count()));
    if (list.Capacity() != seen.back()) seen.push_back(list.Capacity());
  }
  EXPECT_EQ(seen, expected);
  TObjectList five, seventeen;
  for (int i = 0; i < 5; ++i) five.Add(new TItem(i));
  for (int i = 0; i < 17; ++i) seventeen.Add(new TItem(i));
  EXPECT_EQ(five.Capacity(), 8);
  EXPECT_EQ(seventeen.Capacity(), 20);
}

TEST(ObjectList, BadIndexesAndSizesRaiseTheListError) {
  TObjectList list;
  list.Add(new TItem(1));
  list.Add(new TItem(2));
  EXPECT_THROW_TEXT(list.Get(2), EListError, "List index out of bounds (2)");
  EXPECT_THROW_TEXT(list.Get(-1), EListError, "List index out of bounds (-1)");
  EXPECT_THROW_TEXT(list.Insert(3, nullptr), EListError, "List index out of bounds (3)");
  EXPECT_THROW_TEXT(list.SetCapacity(1), EListError, "List index out of bounds (1)");
  EXPECT_THROW_TEXT(list.SetCount(-1), EListError, "List index out of bounds (-1)");
  EXPECT_THROW_TEXT(list.SetCapacity(0x1FFFFFFF), EListError,
                    "List index out of bounds (536870911)");
  EXPECT_EQ(list.Count(), 2);
  list.SetCount(5);
  EXPECT_EQ(list.Get(4), nullptr);
  list.SetCount(2);
}

TEST(ObjectList, InsertPutIndexOfAndNeighbours) {
  TObjectList list;
  auto* a = new TItem(1, "a");
  auto* b = new TItem(2, "b");
  auto* c = new TItem(3, "c");
  list.Add(a);
  list.Add(c);
  list.Insert(1, b);
  EXPECT_EQ(Tags(list), "abc");
  EXPECT_EQ(list.IndexOf(c), 2);
  EXPECT_EQ(list.Neighbour(nullptr, true), a);
  EXPECT_EQ(list.Neighbour(nullptr, false), c);
  EXPECT_EQ(list.Neighbour(a, true), b);
  EXPECT_EQ(list.Neighbour(c, true), nullptr);
  EXPECT_EQ(list.Neighbour(a, false), nullptr);
  TItem stranger(9);
  EXPECT_THROW_TEXT(list.Neighbour(&stranger, true), EListError, "tObject TItem not in item list");
  auto* d = new TItem(4, "d");
  list.Put(0, d);  // the old item is not released by Put
  EXPECT_EQ(Tags(list), "dbc");
  delete a;
  TObjectList empty;
  EXPECT_THROW_TEXT(empty.Neighbour(nullptr, true), EListError, "List index out of bounds (0)");
  EXPECT_THROW_TEXT(empty.Last(), EListError, "List index out of bounds (-1)");
}

TEST(ObjectList, OwnedItemsAreReleasedWithTheList) {
  struct Counted : TObject {
    explicit Counted(int* n) : count(n) {}
    ~Counted() override { ++*count; }
    int* count;
  };
  int released = 0;
  {
    TObjectList owning;
    owning.Add(new Counted(&released));
    owning.Add(new Counted(&released));
  }
  EXPECT_EQ(released, 2);
  Counted kept(&released);
  {
    TObjectList borrowing;
    borrowing.OwnsObjects = false;
    borrowing.Add(&kept);
  }
  EXPECT_EQ(released, 2);
}

TEST(SortedObjectList, DuplicateRules) {
  {
    TItemList accept(dupAccept);
    accept.Add(new TItem(1, "A"));
    accept.Add(new TItem(2, "B"));
    accept.Add(new TItem(2, "b"));
    accept.Add(new TItem(0, "0"));
    EXPECT_EQ(Tags(accept), "0AbB") << "a newcomer goes before the equal ones";
    int32_t at = -1;
    TItem key(2);
    EXPECT_TRUE(accept.Find(&key, &at));
    EXPECT_EQ(at, 2) << "Find gives the first of the equal items";
  }
  {
    TItemList ignore(dupIgnore);
    ignore.Add(new TItem(1, "A"));
    auto dup = std::make_unique<TItem>(1, "a");
    EXPECT_EQ(ignore.Add(dup.get()), 0);
    EXPECT_EQ(ignore.Count(), 1);
    EXPECT_EQ(Tags(ignore), "A");
  }
  {
    TItemList error(dupError);
    error.Add(new TItem(1, "A"));
    error.Add(new TItem(3, "C"));
    auto dup = std::make_unique<TItem>(3, "c");
    EXPECT_THROW_TEXT(error.Add(dup.get()), EListError, "Duplicate Object index");
    EXPECT_EQ(Tags(error), "AC");
    EXPECT_EQ(error.Capacity(), 4);
  }
}

TEST(SortedObjectList, PutIsRefusedAndTheBaseHasNoComparison) {
  TItemList list(dupAccept);
  list.Add(new TItem(1));
  EXPECT_THROW_TEXT(list.Put(0, nullptr), EListError, "Cannot <Put> an Object in a sorted list!");
  TSortedObjectList bare(dupAccept);
  bare.Add(new TItem(1));  // the first item needs no comparison
  auto second = std::make_unique<TItem>(2);
  EXPECT_THROW(bare.Add(second.get()), EAbstractError);
  EXPECT_EQ(bare.Count(), 1);
}

TEST(SortedObjectList, StreamsItemsOfRegisteredClasses) {
  TItemList list(dupAccept);
  list.Add(new TItem(2, "two"));
  list.Add(new TItem(1, "one"));
  MemoryStream stream;
  EXPECT_THROW_TEXT(list.WriteData(&stream), EClassNotFound, "Source Class <TItem> not registered");

  tRegisterRec record;
  record.ClassRef = [] { return new TItem(); };
  record.Writer = [](TObject* o, TStream* s) {
    auto* item = static_cast<TItem*>(o);
    const uint8_t key = static_cast<uint8_t>(item->key);
    s->WriteBuffer(&key, 1);
    const uint8_t n = static_cast<uint8_t>(item->tag.size());
    s->WriteBuffer(&n, 1);
    s->WriteBuffer(item->tag.data(), n);
  };
  record.Reader = [](TObject* o, TStream* s) {
    auto* item = static_cast<TItem*>(o);
    uint8_t key = 0, n = 0;
    s->ReadBuffer(&key, 1);
    s->ReadBuffer(&n, 1);
    item->key = key;
    item->tag.assign(n, '\0');
    s->ReadBuffer(item->tag.data(), n);
  };
  RegisterContainerClass("titem", record);  // names compare without case
  stream = MemoryStream();
  list.WriteData(&stream);
  const std::string expectedStart = std::string("\x01\x01\x02\x00\x00\x00\x05TItem\x01", 12);
  EXPECT_EQ(stream.data.substr(0, 12), expectedStart);

  stream.position = 0;
  TItemList copy(dupIgnore);
  copy.ReadData(&stream);
  EXPECT_EQ(copy.Duplicates, dupAccept);
  EXPECT_EQ(Tags(copy), "onetwo");

  TObjectList withHole;
  withHole.OwnsObjects = false;
  withHole.Add(nullptr);
  MemoryStream out;
  EXPECT_THROW_TEXT(withHole.WriteData(&out), EClassNotFound, "Nil Source Class!");

  // A stored count far beyond what the stream holds reserves no room for it.
  MemoryStream lying(std::string("\x01\xFF\xFF\xFF\x0F\x05TItem", 11));
  TObjectList target;
  EXPECT_THROW(target.ReadData(&lying), EReadError);
  EXPECT_LT(target.Capacity(), 64);
  UnregisterContainerClass("TItem");

  MemoryStream unknown(std::string("\x01\x01\x00\x00\x00\x05TItem", 11));
  TObjectList other;
  EXPECT_THROW_TEXT(other.ReadData(&unknown), EClassNotFound, "Class <TItem> not registered");
}

TEST(ObjectList, DeclaresItsItemsForStreamingOnlyWhenItHasSome) {
  struct Filer : TFiler {
    void DefineBinaryProperty(const std::string& n, const std::function<void(TStream*)>&,
                              const std::function<void(TStream*)>&, bool has) override {
      name = n;
      hasData = has;
    }
    std::string name;
    bool hasData = true;
  } filer;
  TObjectList list;
  list.DefineProperties(&filer);
  EXPECT_EQ(filer.name, "ObjectContainer");
  EXPECT_FALSE(filer.hasData);
  list.Add(new TItem(1));
  list.DefineProperties(&filer);
  EXPECT_TRUE(filer.hasData);
}
