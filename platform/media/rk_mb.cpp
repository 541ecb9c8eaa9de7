// Memory-block pools in process memory, the system calls and the error log.
//
// Every block is known to one registry under one lock, so a handle is checked
// before use: a stale or made-up handle is refused instead of dereferenced.
// A block's memory lives as long as anybody references it, even past its
// pool's destruction, because the encoder may still be reading a frame when
// the program rebuilds its pool.
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_set>
#include <vector>

#include "platform/media/media_internal.h"
#include "platform/media/rk_mpi.h"

namespace {

constexpr size_t kAlign = 64;
constexpr uint64_t kMaxBlockSize = 256ull << 20;
constexpr uint32_t kMaxBlockCount = 1024;

struct Pool;

struct Block {
  Pool* pool = nullptr;  // null for a loose block
  uint8_t* data = nullptr;
  size_t size = 0;
  int refs = 0;  // 0: free in its pool
};

struct Pool {
  MB_POOL id = MB_INVALID_POOLID;
  size_t blockSize = 0;
  std::vector<std::unique_ptr<Block>> blocks;
  std::vector<Block*> freeList;  // capacity reserved for every block
  bool destroyed = false;
  int waiters = 0;  // threads blocked in RK_MPI_MB_GetMB on this pool
};

std::mutex g_mutex;
std::condition_variable g_released;  // a pool block came free or a pool went
std::unordered_set<const void*> g_blocks;
std::map<MB_POOL, std::unique_ptr<Pool>> g_pools;  // destroyed pools stay while blocks are held
MB_POOL g_nextPool = 1;

uint8_t* allocData(size_t size) {
  size_t rounded = (size + kAlign - 1) / kAlign * kAlign;
  return static_cast<uint8_t*>(std::aligned_alloc(kAlign, rounded ? rounded : kAlign));
}

// The block behind a handle, when it is held by someone. Caller holds g_mutex.
Block* heldBlock(MB_BLK blk) {
  if (!blk || !g_blocks.count(blk)) return nullptr;
  Block* b = static_cast<Block*>(blk);
  return b->refs > 0 ? b : nullptr;
}

// A destroyed pool goes once no block is held and nobody waits on it.
bool poolUnusedLocked(const Pool* pool) {
  return pool->freeList.size() == pool->blocks.size() && pool->waiters == 0;
}

void freePoolLocked(Pool* pool) {
  for (auto& b : pool->blocks) {
    g_blocks.erase(b.get());
    std::free(b->data);
  }
  g_pools.erase(pool->id);
}

// Caller holds g_mutex; b is held.
void unrefLocked(Block* b) {
  if (--b->refs > 0) return;
  if (!b->pool) {
    g_blocks.erase(b);
    std::free(b->data);
    delete b;
    return;
  }
  Pool* pool = b->pool;
  pool->freeList.push_back(b);
  if (pool->destroyed) {
    if (poolUnusedLocked(pool)) freePoolLocked(pool);
  } else {
    g_released.notify_all();
  }
}

}  // namespace

namespace hlmedia {

MB_BLK mbCreateLoose(size_t size) {
  auto* b = new Block;
  b->data = allocData(size);
  if (!b->data) {
    delete b;
    return MB_INVALID_HANDLE;
  }
  b->size = size;
  b->refs = 1;
  std::lock_guard<std::mutex> lock(g_mutex);
  g_blocks.insert(b);
  return b;
}

bool mbRef(MB_BLK blk) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Block* b = heldBlock(blk);
  if (!b) return false;
  ++b->refs;
  return true;
}

bool mbUnref(MB_BLK blk) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Block* b = heldBlock(blk);
  if (!b) return false;
  unrefLocked(b);
  return true;
}

uint8_t* mbData(MB_BLK blk, size_t* size) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Block* b = heldBlock(blk);
  if (size) *size = b ? b->size : 0;
  return b ? b->data : nullptr;
}

bool mbEnsureSize(MB_BLK blk, size_t size) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Block* b = heldBlock(blk);
  if (!b || b->pool) return false;
  if (b->size >= size) return true;
  uint8_t* bigger = allocData(size);
  if (!bigger) return false;
  std::free(b->data);
  b->data = bigger;
  b->size = size;
  return true;
}

}  // namespace hlmedia

extern "C" {

void RK_LOG(RK_S32 level, const char* fmt, const char* func, RK_S32 line, ...) {
  (void)func;
  (void)line;
  if (!fmt || level <= RK_LOG_LEVEL_NONE || level > RK_LOG_LEVEL_INFO) return;
  char text[1024];
  va_list ap;
  va_start(ap, line);
  int n = std::vsnprintf(text, sizeof text, fmt, ap);
  va_end(ap);
  if (n < 0) return;
  size_t len = std::strlen(text);
  while (len > 0 && text[len - 1] == '\n') text[--len] = '\0';
  // One write per line, so lines of different threads do not interleave.
  if (level <= RK_LOG_LEVEL_ERROR) {
    std::fprintf(stderr, "\033[31m\033[1m%s\033[0m\n", text);
    std::fflush(stderr);
  } else {
    std::fprintf(stdout, "%s\n", text);
    std::fflush(stdout);
  }
}

RK_S32 RK_MPI_SYS_Init(RK_VOID) { return RK_SUCCESS; }

RK_S32 RK_MPI_SYS_Exit(RK_VOID) {
  hlmedia::rgnDestroyAll();
  hlmedia::vencDestroyAll();
  return RK_SUCCESS;
}

MB_POOL RK_MPI_MB_CreatePool(const MB_POOL_CONFIG_S* cfg) {
  if (!cfg || cfg->u64MBSize == 0 || cfg->u64MBSize > kMaxBlockSize || cfg->u32MBCnt == 0 ||
      cfg->u32MBCnt > kMaxBlockCount) {
    RK_LOGE("RK_MPI_MB_CreatePool: bad pool configuration");
    return MB_INVALID_POOLID;
  }
  auto pool = std::make_unique<Pool>();
  pool->blockSize = static_cast<size_t>(cfg->u64MBSize);
  pool->blocks.reserve(cfg->u32MBCnt);
  pool->freeList.reserve(cfg->u32MBCnt);
  for (uint32_t i = 0; i < cfg->u32MBCnt; ++i) {
    auto b = std::make_unique<Block>();
    b->pool = pool.get();
    b->size = pool->blockSize;
    b->data = allocData(pool->blockSize);
    if (!b->data) {
      for (auto& done : pool->blocks) std::free(done->data);
      RK_LOGE("RK_MPI_MB_CreatePool: out of memory");
      return MB_INVALID_POOLID;
    }
    std::memset(b->data, 0, pool->blockSize);
    pool->blocks.push_back(std::move(b));
  }
  // Handed out from the front, so a pool that is never exhausted cycles
  // through its blocks in order.
  for (auto it = pool->blocks.rbegin(); it != pool->blocks.rend(); ++it)
    pool->freeList.push_back(it->get());

  std::lock_guard<std::mutex> lock(g_mutex);
  while (g_nextPool == MB_INVALID_POOLID || g_pools.count(g_nextPool)) ++g_nextPool;
  MB_POOL id = g_nextPool++;
  pool->id = id;
  for (auto& b : pool->blocks) g_blocks.insert(b.get());
  g_pools[id] = std::move(pool);
  return id;
}

RK_S32 RK_MPI_MB_DestroyPool(MB_POOL id) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = g_pools.find(id);
  if (it == g_pools.end() || it->second->destroyed) return RK_ERR_MB_UNEXIST;
  Pool* pool = it->second.get();
  pool->destroyed = true;
  g_released.notify_all();
  if (poolUnusedLocked(pool)) freePoolLocked(pool);
  return RK_SUCCESS;
}

MB_BLK RK_MPI_MB_GetMB(MB_POOL id, RK_U64 size, RK_BOOL wait) {
  std::unique_lock<std::mutex> lock(g_mutex);
  auto it = g_pools.find(id);
  if (it == g_pools.end() || it->second->destroyed) return MB_INVALID_HANDLE;
  Pool* pool = it->second.get();
  if (size > pool->blockSize) return MB_INVALID_HANDLE;
  if (pool->freeList.empty()) {
    if (!wait) return MB_INVALID_HANDLE;
    ++pool->waiters;  // keeps the pool object while we sleep
    g_released.wait(lock, [pool] { return !pool->freeList.empty() || pool->destroyed; });
    --pool->waiters;
    if (pool->destroyed) {
      if (poolUnusedLocked(pool)) freePoolLocked(pool);
      return MB_INVALID_HANDLE;
    }
  }
  Block* b = pool->freeList.back();
  pool->freeList.pop_back();
  b->refs = 1;
  return b;
}

RK_S32 RK_MPI_MB_ReleaseMB(MB_BLK blk) {
  return hlmedia::mbUnref(blk) ? RK_SUCCESS : RK_ERR_MB_ILLEGAL_PARAM;
}

RK_VOID* RK_MPI_MB_Handle2VirAddr(MB_BLK blk) { return hlmedia::mbData(blk, nullptr); }

RK_U64 RK_MPI_MB_GetSize(MB_BLK blk) {
  size_t size = 0;
  hlmedia::mbData(blk, &size);
  return size;
}

RK_S32 RK_MPI_SYS_MmzFlushCache(MB_BLK blk, RK_BOOL readOnly) {
  (void)readOnly;
  return hlmedia::mbData(blk, nullptr) ? RK_SUCCESS : RK_ERR_MB_ILLEGAL_PARAM;
}

RK_S32 RK_MPI_SYS_WaitFreeMB(RK_VOID) {
  if (hlmedia::vencWaitNoneHeld(3000)) return RK_SUCCESS;
  RK_LOGE("RK_MPI_SYS_WaitFreeMB: encoder still holds blocks");
  return RK_ERR_SYS_TIMEOUT;
}

}  // extern "C"
