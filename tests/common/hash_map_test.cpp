// The mapping tables' containers: their hashes, growth, walk order and memory failures.
#include "common/hash_map.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/app.h"

namespace {

TEST(StringKeyHash, IsTheSignedByteHashOfThe8BitForm) {
  EXPECT_EQ(common::stringKeyHash(""), 0u);
  EXPECT_EQ(common::stringKeyHash("A"), 65u);
  EXPECT_EQ(common::stringKeyHash("AB"), 65u * 31u + 66u);
  // "É" is one byte 0xC9 in the 8-bit form, taken as -55.
  EXPECT_EQ(common::stringKeyHash("\xC3\x89"), uint64_t(0) - 55u);
  EXPECT_EQ(common::stringKeyHash("A\xC3\x89"), 65u * 31u - 55u);
}

TEST(IntKeyHash, MixesTheKeyAsUnsigned) {
  EXPECT_EQ(common::intKeyHash(0), 0u);
  EXPECT_EQ(common::intKeyHash(1), 1u);
  const uint64_t k = 0xFFFFFFFFu;  // -1 widened as unsigned 32 bits
  const uint64_t b = k ^ (k >> 12) ^ (k >> 20);
  EXPECT_EQ(common::intKeyHash(-1), b ^ (b >> 4) ^ (b >> 7));
}

TEST(StringMap, GrowsBeforeTheInsertionThatFindsItFull) {
  common::StringMap<int> map;
  EXPECT_EQ(map.bucketCount(), 0u);
  const std::pair<int, uint32_t> steps[] = {{1, 4}, {4, 4}, {5, 6}, {6, 6}, {7, 9}, {10, 13}, {14, 19}, {20, 28}};
  int inserted = 0;
  for (const auto& [count, buckets] : steps) {
    while (inserted < count) {
      bool fresh = false;
      ASSERT_NE(map.findOrInsert("K" + std::to_string(inserted++), &fresh), nullptr);
      EXPECT_TRUE(fresh);
    }
    EXPECT_EQ(map.size(), count);
    EXPECT_EQ(map.bucketCount(), buckets) << count << " keys";
  }
  // A key already there neither inserts nor grows.
  bool fresh = true;
  *map.findOrInsert("K0") = 7;
  EXPECT_EQ(*map.findOrInsert("K0", &fresh), 7);
  EXPECT_FALSE(fresh);
  EXPECT_EQ(map.size(), 20);
  EXPECT_EQ(map.find("K19") != nullptr, true);
  EXPECT_EQ(map.find("k19"), nullptr);  // keys compare as given
}

// The walk a chained map must give, worked out step by step: grow when full, move the
// old chains bucket by bucket to the tails of the new ones, append at the tail.
template <class Key, class Hash>
std::vector<Key> modelWalk(const std::vector<Key>& keys, Hash hash) {
  std::vector<std::vector<Key>> buckets;
  size_t count = 0;
  for (const Key& k : keys) {
    if (count == buckets.size()) {
      std::vector<std::vector<Key>> grown(common::grownBucketCount(uint32_t(buckets.size())));
      for (const auto& chain : buckets)
        for (const Key& old : chain) grown[hash(old) % grown.size()].push_back(old);
      buckets = std::move(grown);
    }
    buckets[hash(k) % buckets.size()].push_back(k);
    ++count;
  }
  std::vector<Key> walk;
  for (const auto& chain : buckets) walk.insert(walk.end(), chain.begin(), chain.end());
  return walk;
}

TEST(StringMap, WalksBucketsInOrderAndEachChainFromHeadToTail) {
  common::StringMap<int> map;
  std::vector<std::string> keys;
  for (int i = 0; i < 30; ++i) keys.push_back("PARAM_" + std::to_string(i * 7));
  for (size_t i = 0; i < keys.size(); ++i) *map.findOrInsert(keys[i]) = int(i);
  std::vector<std::string> walked;
  map.forEach([&](const host::String& key, int) { walked.push_back(key); });
  EXPECT_EQ(walked, modelWalk(keys, [](const std::string& k) { return common::stringKeyHash(k); }));
}

TEST(IntMap, WalksByTheIntegerHash) {
  common::IntMap<int> map;
  const int32_t keys[] = {1001, 1003, -5, 7, 300, 201, 202};
  for (int32_t k : keys) *map.findOrInsert(k) = k;
  EXPECT_EQ(map.bucketCount(), 9u);
  const std::vector<int32_t> expected =
      modelWalk(std::vector<int32_t>(std::begin(keys), std::end(keys)), [](int32_t k) { return common::intKeyHash(k); });
  std::vector<int32_t> walked;
  map.forEach([&](int32_t key, int value) {
    EXPECT_EQ(key, value);
    walked.push_back(key);
  });
  EXPECT_EQ(walked, expected);
}

TEST(StringMap, AFailedAllocationLeavesTheMapAsItWas) {
  for (int64_t n = 1; n <= 2; ++n) {
    common::StringMap<int> map;
    for (int i = 0; i < 4; ++i) *map.findOrInsert("K" + std::to_string(i)) = i;
    // The fifth key needs a larger bucket array (n = 1) or its node (n = 2).
    host::app::failAllocationAt(n);
    EXPECT_EQ(map.findOrInsert("K4"), nullptr) << n;
    host::app::failAllocationAt(0);
    EXPECT_EQ(map.size(), 4);
    EXPECT_EQ(map.find("K4"), nullptr);
    for (int i = 0; i < 4; ++i) ASSERT_NE(map.find("K" + std::to_string(i)), nullptr);
  }
}

TEST(PtrVector, StartsAtTwoAndDoubles) {
  const int64_t live = host::app::liveAllocations();
  {
    common::PtrVector<int> v;
    std::vector<int> capacities;
    for (int i = 0; i < 5; ++i) {
      ASSERT_TRUE(v.append(host::newObject<int>(i)));
      capacities.push_back(v.capacity());
    }
    EXPECT_EQ(capacities, (std::vector<int>{2, 2, 4, 4, 8}));
    EXPECT_EQ(*v[4], 4);
  }
  EXPECT_EQ(host::app::liveAllocations(), live);
}

}  // namespace
