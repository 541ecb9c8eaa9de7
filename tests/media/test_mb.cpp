// Memory-block pools and the platform's error log.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>

#include "tests/media/media_helpers.h"

using namespace std::chrono_literals;
using mediatest::makePool;

namespace {

TEST(MbPool, HandsOutSeparateBlocksAndBlocksWhenEmpty) {
  const RK_U64 size = 172800;
  MB_POOL pool = makePool(size, 3);
  ASSERT_NE(pool, MB_INVALID_POOLID);
  MB_BLK blks[3];
  uint8_t* p[3];
  for (int i = 0; i < 3; ++i) {
    blks[i] = RK_MPI_MB_GetMB(pool, size, RK_TRUE);
    p[i] = static_cast<uint8_t*>(RK_MPI_MB_Handle2VirAddr(blks[i]));
    ASSERT_NE(p[i], nullptr);
    std::memset(p[i], i + 1, size);
  }
  // Each block is writable over its whole size without touching the others.
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(p[i][0] == i + 1 && p[i][size - 1] == i + 1) << i;
  EXPECT_EQ(RK_MPI_MB_GetMB(pool, size, RK_FALSE), MB_INVALID_HANDLE);
  EXPECT_EQ(RK_MPI_MB_GetMB(pool, size + 1, RK_FALSE), MB_INVALID_HANDLE);

  // A blocking get waits for a release and then gets that very block.
  auto waiter =
      std::async(std::launch::async, [&] { return RK_MPI_MB_GetMB(pool, size, RK_TRUE); });
  EXPECT_EQ(waiter.wait_for(100ms), std::future_status::timeout);
  ASSERT_EQ(RK_MPI_MB_ReleaseMB(blks[1]), RK_SUCCESS);
  ASSERT_EQ(waiter.wait_for(2s), std::future_status::ready);
  EXPECT_EQ(waiter.get(), blks[1]);

  // Released blocks are no longer addressable; releasing twice is refused.
  ASSERT_EQ(RK_MPI_MB_ReleaseMB(blks[0]), RK_SUCCESS);
  EXPECT_EQ(RK_MPI_MB_Handle2VirAddr(blks[0]), nullptr);
  EXPECT_NE(RK_MPI_MB_ReleaseMB(blks[0]), RK_SUCCESS);
  EXPECT_NE(RK_MPI_SYS_MmzFlushCache(blks[0], RK_FALSE), RK_SUCCESS);
  RK_MPI_MB_ReleaseMB(blks[1]);
  RK_MPI_MB_ReleaseMB(blks[2]);
  EXPECT_EQ(RK_MPI_MB_DestroyPool(pool), RK_SUCCESS);
}

TEST(MbPool, DestroyingAPoolKeepsHeldBlocksAndWakesWaiters) {
  MB_POOL pool = makePool(4096, 1);
  MB_BLK held = RK_MPI_MB_GetMB(pool, 4096, RK_TRUE);
  ASSERT_NE(held, MB_INVALID_HANDLE);
  auto waiter =
      std::async(std::launch::async, [&] { return RK_MPI_MB_GetMB(pool, 4096, RK_TRUE); });
  EXPECT_EQ(waiter.wait_for(50ms), std::future_status::timeout);
  ASSERT_EQ(RK_MPI_MB_DestroyPool(pool), RK_SUCCESS);
  ASSERT_EQ(waiter.wait_for(2s), std::future_status::ready);
  EXPECT_EQ(waiter.get(), MB_INVALID_HANDLE);
  EXPECT_EQ(RK_MPI_MB_GetMB(pool, 4096, RK_FALSE), MB_INVALID_HANDLE);
  EXPECT_NE(RK_MPI_MB_DestroyPool(pool), RK_SUCCESS);

  // The holder's block is still there until it lets go.
  auto* p = static_cast<uint8_t*>(RK_MPI_MB_Handle2VirAddr(held));
  ASSERT_NE(p, nullptr);
  std::memset(p, 0x5a, 4096);
  EXPECT_EQ(RK_MPI_MB_ReleaseMB(held), RK_SUCCESS);
  EXPECT_EQ(RK_MPI_MB_Handle2VirAddr(held), nullptr);
}

TEST(MbPool, BadConfigurationsAndHandlesAreRefused) {
  EXPECT_EQ(RK_MPI_MB_CreatePool(nullptr), MB_INVALID_POOLID);
  EXPECT_EQ(makePool(0, 4), MB_INVALID_POOLID);
  EXPECT_EQ(makePool(4096, 0), MB_INVALID_POOLID);
  EXPECT_EQ(RK_MPI_MB_GetMB(MB_INVALID_POOLID, 16, RK_TRUE), MB_INVALID_HANDLE);
  EXPECT_EQ(RK_MPI_MB_GetMB(0x7fffffff, 16, RK_TRUE), MB_INVALID_HANDLE);
  int notABlock = 0;
  EXPECT_EQ(RK_MPI_MB_Handle2VirAddr(&notABlock), nullptr);
  EXPECT_EQ(RK_MPI_MB_Handle2VirAddr(MB_INVALID_HANDLE), nullptr);
  EXPECT_NE(RK_MPI_MB_ReleaseMB(&notABlock), RK_SUCCESS);
  EXPECT_EQ(RK_MPI_MB_GetSize(&notABlock), 0u);
}

}  // namespace
