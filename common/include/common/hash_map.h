// The mapping tables' containers: two chained hash maps and an owning vector.
//
// Their layout is part of what they mean: a walk takes the buckets in index order and
// each chain from head to tail, and that order decides the order in which the mapping
// applies parameters and prints messages. So the hashes, the growth (0, 4, 6, 9, 13, 19,
// 28, ... buckets, grown when an insertion finds as many entries as buckets) and the
// insertion at a chain's tail are fixed, not tuning choices. Memory is host memory; an
// allocation failure is reported and leaves the container as it was.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "host/memory.h"
#include "host/text.h"

namespace common {

// hash × 31 + each byte of the key's 8-bit form taken as signed, in wrapping 64 bits.
inline uint64_t stringKeyHash(const host::String& key) {
  uint64_t hash = 0;
  for (char c : host::stringTo8Bit(key)) hash = hash * 31u + uint64_t(int64_t(static_cast<signed char>(c)));
  return hash;
}

inline uint64_t intKeyHash(int32_t key) {
  const uint64_t k = uint64_t(uint32_t(key));
  const uint64_t b = k ^ (k >> 12) ^ (k >> 20);
  return b ^ (b >> 4) ^ (b >> 7);
}

// The bucket count after growing from `buckets`.
inline uint32_t grownBucketCount(uint32_t buckets) { return buckets == 0 ? 4u : uint32_t(buckets * 3u) >> 1; }

namespace detail {

// A chained map over a key type; Traits give the key's hash and equality.
template <class Key, class Record, class Traits>
class ChainedMap {
 public:
  struct Node {
    Key key;
    Record record;
    uint64_t hash;
    Node* next = nullptr;
  };

  ChainedMap() = default;
  ChainedMap(const ChainedMap&) = delete;
  ChainedMap& operator=(const ChainedMap&) = delete;
  ~ChainedMap() { clear(); }

  int32_t size() const { return count_; }
  uint32_t bucketCount() const { return buckets_; }
  int32_t usedBucketCount() const { return used_; }

  // The record of a key; nullptr when the key is absent.
  Record* find(const Key& key) const {
    if (buckets_ == 0) return nullptr;
    const uint64_t hash = Traits::hash(key);
    for (Node* n = table_[hash % buckets_]; n; n = n->next)
      if (Traits::equal(n->key, key)) return &n->record;
    return nullptr;
  }

  // Finds the key or inserts it with a default record. The record, and in *outInserted
  // whether it is new; nullptr when memory is short (the map is then as it was).
  Record* findOrInsert(const Key& key, bool* outInserted = nullptr) {
    if (outInserted) *outInserted = false;
    const uint64_t hash = Traits::hash(key);
    if (buckets_ != 0) {
      for (Node* n = table_[hash % buckets_]; n; n = n->next)
        if (Traits::equal(n->key, key)) return &n->record;
    }
    if (uint32_t(count_) == buckets_ && !grow()) return nullptr;
    // Made in place: records may themselves be maps, which do not copy.
    Node* node = host::newObject<Node>();
    if (!node) return nullptr;
    node->key = key;
    node->hash = hash;
    Node*& head = table_[hash % buckets_];
    if (!head) ++used_;
    append(head, node);
    ++count_;
    if (outInserted) *outInserted = true;
    return &node->record;
  }

  // Visits every entry in bucket order, each chain from head to tail.
  template <class Visit>
  void forEach(Visit visit) const {
    for (uint32_t b = 0; b < buckets_; ++b)
      for (Node* n = table_[b]; n; n = n->next) visit(n->key, n->record);
  }

  void clear() {
    for (uint32_t b = 0; b < buckets_; ++b) {
      for (Node* n = table_[b]; n;) {
        Node* next = n->next;
        host::deleteObject(n);
        n = next;
      }
    }
    host::memFree(table_);
    table_ = nullptr;
    buckets_ = 0;
    count_ = 0;
    used_ = 0;
  }

 private:
  static void append(Node*& head, Node* node) {
    node->next = nullptr;
    Node** at = &head;
    while (*at) at = &(*at)->next;
    *at = node;
  }

  bool grow() {
    const uint32_t buckets = grownBucketCount(buckets_);
    auto** table = static_cast<Node**>(host::memAlloc(size_t(buckets) * sizeof(Node*)));
    if (!table) return false;
    for (uint32_t b = 0; b < buckets; ++b) table[b] = nullptr;
    int32_t used = 0;
    for (uint32_t b = 0; b < buckets_; ++b) {
      for (Node* n = table_[b]; n;) {
        Node* next = n->next;
        Node*& head = table[Traits::rehash(*n) % buckets];
        if (!head) ++used;
        append(head, n);
        n = next;
      }
    }
    host::memFree(table_);
    table_ = table;
    buckets_ = buckets;
    used_ = used;
    return true;
  }

  Node** table_ = nullptr;
  uint32_t buckets_ = 0;
  int32_t count_ = 0;
  int32_t used_ = 0;
};

struct StringKeys {
  static uint64_t hash(const host::String& key) { return stringKeyHash(key); }
  static bool equal(const host::String& a, const host::String& b) { return host::compareStrings(a, b) == 0; }
  // String nodes keep their hash.
  template <class Node>
  static uint64_t rehash(const Node& n) {
    return n.hash;
  }
};

struct IntKeys {
  static uint64_t hash(int32_t key) { return intKeyHash(key); }
  static bool equal(int32_t a, int32_t b) { return a == b; }
  // Integer nodes hash their key again.
  template <class Node>
  static uint64_t rehash(const Node& n) {
    return intKeyHash(n.key);
  }
};

}  // namespace detail

// A map from host strings to records. Keys are compared as given; the mapper upper-cases
// them before they get here.
template <class Record>
using StringMap = detail::ChainedMap<host::String, Record, detail::StringKeys>;

// A map from int32 keys to records.
template <class Record>
using IntMap = detail::ChainedMap<int32_t, Record, detail::IntKeys>;

// An ordered list of owned records: capacity 2 at the first append, doubled when full.
template <class Record>
class PtrVector {
 public:
  PtrVector() = default;
  PtrVector(const PtrVector&) = delete;
  PtrVector& operator=(const PtrVector&) = delete;
  ~PtrVector() { clear(); }

  int32_t size() const { return count_; }
  int32_t capacity() const { return capacity_; }
  Record* operator[](int32_t i) const { return items_[i]; }

  // Takes ownership of a record made with host::newObject; false (the record freed) when
  // memory is short.
  bool append(Record* record) {
    if (count_ == capacity_) {
      const int32_t capacity = capacity_ == 0 ? 2 : capacity_ * 2;
      auto** items = static_cast<Record**>(host::memRealloc(items_, size_t(capacity) * sizeof(Record*)));
      if (!items) {
        host::deleteObject(record);
        return false;
      }
      items_ = items;
      capacity_ = capacity;
    }
    items_[count_++] = record;
    return true;
  }

  void clear() {
    for (int32_t i = 0; i < count_; ++i) host::deleteObject(items_[i]);
    host::memFree(items_);
    items_ = nullptr;
    count_ = capacity_ = 0;
  }

 private:
  Record** items_ = nullptr;
  int32_t count_ = 0;
  int32_t capacity_ = 0;
};

}  // namespace common
