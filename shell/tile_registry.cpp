#include "shell/tile_registry.h"

#include "platform/platform.h"

namespace srtm {

TileRegistry& OpenTiles() {
  static TileRegistry registry;
  return registry;
}

TileRegistry::Entry* TileRegistry::FindEntry(QLP_HANDLE handle) const {
  if (!table_) return nullptr;
  for (Entry* e = table_[BucketOf(handle)]; e; e = e->next) {
    if (e->key == handle) return e;
  }
  return nullptr;
}

HgtTile* TileRegistry::Find(QLP_HANDLE handle) const {
  Entry* e = FindEntry(handle);
  return e ? e->value.get() : nullptr;
}

TileRegistry::Entry* TileRegistry::TakeFreeEntry() {
  if (!free_) {
    auto block = platform::AllocateArray<EntryBlock>(1);
    if (!block) return nullptr;
    for (Entry& e : block[0].entries) {
      e.next = free_;
      free_ = &e;
    }
    block[0].next = std::move(blocks_);
    blocks_ = std::move(block);
  }
  Entry* e = free_;
  free_ = e->next;
  e->next = nullptr;
  return e;
}

bool TileRegistry::Set(QLP_HANDLE handle, std::unique_ptr<HgtTile> tile) {
  if (Entry* held = FindEntry(handle)) {
    if (held->value.get() == tile.get()) {
      tile.release();  // already ours
    } else {
      held->value = std::move(tile);  // the tile it replaces is destroyed: nothing else holds it
    }
    return true;
  }
  bool madeTable = false;
  if (!table_) {
    table_ = platform::AllocateArray<Entry*>(kBucketCount);
    if (!table_) return false;
    for (std::uint32_t b = 0; b < kBucketCount; ++b) table_[b] = nullptr;
    madeTable = true;
  }
  Entry* e = TakeFreeEntry();
  if (!e) {
    if (madeTable) table_.reset();
    return false;
  }
  e->bucket = BucketOf(handle);
  e->key = handle;
  e->value = std::move(tile);
  e->next = table_[e->bucket];
  table_[e->bucket] = e;
  ++count_;
  return true;
}

bool TileRegistry::Remove(QLP_HANDLE handle) {
  if (!table_) return false;
  for (Entry** link = &table_[BucketOf(handle)]; *link; link = &(*link)->next) {
    Entry* e = *link;
    if (e->key != handle) continue;
    *link = e->next;
    e->value.reset();
    e->next = free_;
    free_ = e;
    if (--count_ == 0) RemoveAll();
    return true;
  }
  return false;
}

void TileRegistry::RemoveAll() {
  if (table_) {
    for (std::uint32_t b = 0; b < kBucketCount; ++b) {
      for (Entry* e = table_[b]; e; e = e->next) e->value.reset();
    }
  }
  table_.reset();
  // Blocks are freed one by one so that a long chain of them never recurses deeply.
  while (blocks_) blocks_ = std::move(blocks_[0].next);
  free_ = nullptr;
  count_ = 0;
}

std::size_t TileRegistry::blockCount() const {
  std::size_t n = 0;
  for (const EntryBlock* b = blocks_.get(); b; b = b[0].next.get()) ++n;
  return n;
}

}  // namespace srtm
