// The registry of open tiles: buckets, chains, entry blocks, the table's lifetime and
// refused memory.
#include "shell/tile_registry.h"

#include <vector>

#include "gtest/gtest.h"
#include "platform/platform.h"

namespace srtm {
namespace {

std::unique_ptr<HgtTile> NewTile() { return std::make_unique<HgtTile>(); }

// The handles of one bucket in the order a walk meets them.
std::vector<QLP_HANDLE> Chain(const TileRegistry& registry, std::uint32_t bucket) {
  std::vector<QLP_HANDLE> handles;
  registry.ForEach([&](QLP_HANDLE h, HgtTile*) {
    if (TileRegistry::BucketOf(h) == bucket) handles.push_back(h);
  });
  return handles;
}

// Refuses allocations while `refuse` is set, and counts the ones asked for.
class AllocationEnv : public platform::Env {
 public:
  AllocationEnv() { platform::SetEnv(this); }
  ~AllocationEnv() override { platform::SetEnv(nullptr); }
  bool MayAllocate(std::size_t) override {
    ++asked;
    return !refuse;
  }
  bool refuse = false;
  int asked = 0;
};

TEST(TileRegistry, BucketRuleAndCollidingHandles) {
  EXPECT_EQ(TileRegistry::BucketOf(0x100), 16u);       // (0x100 >> 4) mod 17
  EXPECT_EQ(TileRegistry::BucketOf(0xFFFFFFFF), 15u);  // unsigned: 0x0FFFFFFF mod 17
  // Handles differing only in their low 4 bits, and ones 17 x 16 apart, share a bucket.
  const QLP_HANDLE a = 0x100, b = 0x10F, c = 0x100 + 17 * 16;
  ASSERT_EQ(TileRegistry::BucketOf(a), TileRegistry::BucketOf(b));
  ASSERT_EQ(TileRegistry::BucketOf(a), TileRegistry::BucketOf(c));

  TileRegistry registry;
  EXPECT_EQ(registry.Find(a), nullptr);
  auto ta = NewTile(), tb = NewTile(), tc = NewTile();
  HgtTile *pa = ta.get(), *pb = tb.get(), *pc = tc.get();
  ASSERT_TRUE(registry.Set(a, std::move(ta)));
  ASSERT_TRUE(registry.Set(b, std::move(tb)));
  ASSERT_TRUE(registry.Set(c, std::move(tc)));
  EXPECT_EQ(registry.Find(a), pa);
  EXPECT_EQ(registry.Find(b), pb);
  EXPECT_EQ(registry.Find(c), pc);
  EXPECT_EQ(registry.Find(0x101 + 0x1000), nullptr);
  // The newest entry heads its chain.
  EXPECT_EQ(Chain(registry, TileRegistry::BucketOf(a)), (std::vector<QLP_HANDLE>{c, b, a}));

  // Removing from the middle of a chain keeps the rest of it.
  EXPECT_TRUE(registry.Remove(b));
  EXPECT_FALSE(registry.Remove(b));
  EXPECT_EQ(registry.Find(b), nullptr);
  EXPECT_EQ(registry.Find(a), pa);
  EXPECT_EQ(registry.Find(c), pc);
  EXPECT_EQ(registry.count(), 2u);
}

TEST(TileRegistry, SettingAHeldHandleReplacesItsTile) {
  TileRegistry registry;
  ASSERT_TRUE(registry.Set(7, NewTile()));
  auto second = NewTile();
  HgtTile* p = second.get();
  ASSERT_TRUE(registry.Set(7, std::move(second)));
  EXPECT_EQ(registry.Find(7), p);
  EXPECT_EQ(registry.count(), 1u);
  EXPECT_EQ(Chain(registry, TileRegistry::BucketOf(7)).size(), 1u);
}

TEST(TileRegistry, EntriesComeInBlocksOfTenAndAreReused) {
  TileRegistry registry;
  for (QLP_HANDLE h = 1; h <= 10; ++h) ASSERT_TRUE(registry.Set(h << 4, NewTile()));
  EXPECT_EQ(registry.blockCount(), 1u);
  ASSERT_TRUE(registry.Set(11 << 4, NewTile()));
  EXPECT_EQ(registry.blockCount(), 2u);
  // Removed entries go to the free list and are taken before any new block.
  for (QLP_HANDLE h = 1; h <= 9; ++h) ASSERT_TRUE(registry.Remove(h << 4));
  for (QLP_HANDLE h = 100; h < 118; ++h) ASSERT_TRUE(registry.Set(h << 4, NewTile()));
  EXPECT_EQ(registry.blockCount(), 2u);
  EXPECT_EQ(registry.count(), 20u);
  ASSERT_TRUE(registry.Set(118 << 4, NewTile()));
  EXPECT_EQ(registry.blockCount(), 3u);

  std::size_t walked = 0;
  registry.ForEach([&](QLP_HANDLE, HgtTile* tile) { walked += tile != nullptr; });
  EXPECT_EQ(walked, 21u);
}

TEST(TileRegistry, TableIsFreedWithTheLastEntryAndMadeAgainLater) {
  AllocationEnv env;
  TileRegistry registry;
  EXPECT_FALSE(registry.hasTable());  // nothing until the first insertion
  ASSERT_TRUE(registry.Set(0x200, NewTile()));
  EXPECT_TRUE(registry.hasTable());
  ASSERT_TRUE(registry.Set(0x300, NewTile()));
  EXPECT_TRUE(registry.Remove(0x200));
  EXPECT_TRUE(registry.hasTable());
  EXPECT_TRUE(registry.Remove(0x300));
  EXPECT_FALSE(registry.hasTable());
  EXPECT_EQ(registry.blockCount(), 0u);
  EXPECT_FALSE(registry.Remove(0x300));
  EXPECT_EQ(registry.Find(0x300), nullptr);

  env.asked = 0;
  ASSERT_TRUE(registry.Set(0x300, NewTile()));
  EXPECT_EQ(env.asked, 2);  // a fresh table and a fresh entry block
  EXPECT_TRUE(registry.hasTable());
  EXPECT_NE(registry.Find(0x300), nullptr);

  registry.RemoveAll();
  EXPECT_FALSE(registry.hasTable());
  EXPECT_EQ(registry.count(), 0u);
  EXPECT_EQ(registry.Find(0x300), nullptr);
}

TEST(TileRegistry, RefusedMemoryLeavesTheRegistryAsItWas) {
  AllocationEnv env;
  TileRegistry registry;
  env.refuse = true;
  EXPECT_FALSE(registry.Set(0x10, NewTile()));
  EXPECT_FALSE(registry.hasTable());
  EXPECT_EQ(registry.count(), 0u);

  env.refuse = false;
  for (QLP_HANDLE h = 1; h <= 10; ++h) ASSERT_TRUE(registry.Set(h << 4, NewTile()));
  env.refuse = true;  // the eleventh entry needs a new block
  EXPECT_FALSE(registry.Set(11 << 4, NewTile()));
  EXPECT_EQ(registry.count(), 10u);
  EXPECT_EQ(registry.Find(11 << 4), nullptr);
  // Replacing a held tile needs no memory.
  EXPECT_TRUE(registry.Set(1 << 4, NewTile()));
}

}  // namespace
}  // namespace srtm
