// A list that grows in fixed blocks: adding never moves what it holds, so a
// long list costs no doubling copies and no transient second array, and at
// most one block is partly used. Index access is constant time.
#ifndef TRESSEL_HOST_BLOCKLIST_H
#define TRESSEL_HOST_BLOCKLIST_H

#include <stddef.h>

#include <iterator>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

namespace host {

// Items are trivially copyable; a block holds 2^kBlockBits of them.
template <typename T, unsigned kBlockBits = 13>
class CBlockList {
  static_assert(std::is_trivially_copyable<T>::value, "items are copied as bytes");

 public:
  static constexpr size_t kBlockSize = size_t(1) << kBlockBits;

  CBlockList() = default;
  CBlockList(const CBlockList& other) { *this = other; }
  CBlockList(CBlockList&& other) noexcept { *this = std::move(other); }
  CBlockList& operator=(const CBlockList& other) {
    if (this == &other) return *this;
    clear();
    for (const T& item : other) push_back(item);
    return *this;
  }
  CBlockList& operator=(CBlockList&& other) noexcept {
    mBlocks = std::move(other.mBlocks);
    mSize = other.mSize;
    other.mBlocks.clear();
    other.mSize = 0;
    return *this;
  }

  size_t size() const { return mSize; }
  bool empty() const { return mSize == 0; }

  void push_back(const T& item) {
    if ((mSize >> kBlockBits) == mBlocks.size()) mBlocks.emplace_back(new T[kBlockSize]);
    mBlocks[mSize >> kBlockBits][mSize & kMask] = item;
    ++mSize;
  }
  // Drops every item and gives the blocks back.
  void clear() {
    mBlocks.clear();
    mSize = 0;
  }

  const T& operator[](size_t index) const { return mBlocks[index >> kBlockBits][index & kMask]; }
  T& operator[](size_t index) { return mBlocks[index >> kBlockBits][index & kMask]; }
  const T& back() const { return (*this)[mSize - 1]; }

  class const_iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = T;
    using difference_type = std::ptrdiff_t;
    using pointer = const T*;
    using reference = const T&;
    const_iterator(const CBlockList* list, size_t index) : mList(list), mIndex(index) {}
    const T& operator*() const { return (*mList)[mIndex]; }
    const T* operator->() const { return &(*mList)[mIndex]; }
    const_iterator& operator++() {
      ++mIndex;
      return *this;
    }
    bool operator==(const const_iterator& other) const { return mIndex == other.mIndex; }
    bool operator!=(const const_iterator& other) const { return mIndex != other.mIndex; }

   private:
    const CBlockList* mList;
    size_t mIndex;
  };
  const_iterator begin() const { return const_iterator(this, 0); }
  const_iterator end() const { return const_iterator(this, mSize); }

 private:
  static constexpr size_t kMask = kBlockSize - 1;
  std::vector<std::unique_ptr<T[]>> mBlocks;
  size_t mSize = 0;
};

}  // namespace host

#endif  // TRESSEL_HOST_BLOCKLIST_H
