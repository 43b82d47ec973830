// The tiles the plug-in serves, by the host's map handle.
//
// A small hash map with 17 buckets: a handle's bucket is (handle >> 4) mod 17, each
// bucket a chain with the newest entry at its head. Entries come from blocks of 10 and
// go back to a free list when removed; the bucket table is allocated by the first
// insertion and freed, with every block, when the last entry goes. The registry owns its
// tiles: removing an entry, overwriting it or emptying the registry destroys the tile.
// The lookup made for every block read is a shift, a modulo and a short chain walk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "hgt/hgt_tile.h"
#include "shell/pluginif.h"

namespace srtm {

class TileRegistry {
 public:
  static constexpr std::uint32_t kBucketCount = 17;
  static constexpr std::size_t kEntriesPerBlock = 10;

  TileRegistry() = default;
  ~TileRegistry() { RemoveAll(); }
  TileRegistry(const TileRegistry&) = delete;
  TileRegistry& operator=(const TileRegistry&) = delete;

  static std::uint32_t BucketOf(QLP_HANDLE handle) { return (handle >> 4) % kBucketCount; }

  // The tile of `handle`, or null.
  HgtTile* Find(QLP_HANDLE handle) const;
  // Makes `tile` the tile of `handle`; a tile already held for it is destroyed first.
  // false when memory for the table or an entry block cannot be had (`tile` is then
  // destroyed and the registry is unchanged).
  bool Set(QLP_HANDLE handle, std::unique_ptr<HgtTile> tile);
  // Destroys the tile of `handle` and removes its entry; false when there is none.
  bool Remove(QLP_HANDLE handle);
  // Destroys every tile and frees the table and every entry block.
  void RemoveAll();
  // Calls visit(handle, tile) for every entry, bucket by bucket, each chain from its head.
  template <typename Visit>
  void ForEach(Visit visit) const;

  std::size_t count() const { return count_; }
  bool hasTable() const { return table_ != nullptr; }
  std::size_t blockCount() const;

 private:
  struct Entry {
    Entry* next = nullptr;
    std::uint32_t bucket = 0;
    QLP_HANDLE key = 0;
    std::unique_ptr<HgtTile> value;
  };
  struct EntryBlock {
    std::unique_ptr<EntryBlock[]> next;  // the block allocated before this one
    Entry entries[kEntriesPerBlock];
  };

  Entry* FindEntry(QLP_HANDLE handle) const;
  Entry* TakeFreeEntry();

  std::unique_ptr<Entry*[]> table_;
  std::unique_ptr<EntryBlock[]> blocks_;  // newest block first
  Entry* free_ = nullptr;
  std::size_t count_ = 0;
};

template <typename Visit>
void TileRegistry::ForEach(Visit visit) const {
  if (!table_) return;
  for (std::uint32_t b = 0; b < kBucketCount; ++b) {
    for (Entry* e = table_[b]; e; e = e->next) visit(e->key, e->value.get());
  }
}

// The plug-in's one registry, alive from module start to unload.
TileRegistry& OpenTiles();

}  // namespace srtm
