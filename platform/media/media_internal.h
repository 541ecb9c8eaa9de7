#pragma once
// Seams between the parts of the software media platform (blocks, encoder,
// regions). Not for the program: it includes rk_mpi.h only.
#include <cstddef>
#include <cstdint>

#include "platform/media/rk_mpi.h"

namespace hlmedia {

// A block outside every pool (an encoder's packet buffer) with one reference
// held by the creator; freed when the last reference goes.
MB_BLK mbCreateLoose(size_t size);
// Adds a reference to a held block; false for an unknown or free block.
bool mbRef(MB_BLK blk);
// Drops a reference; false for an unknown or free block.
bool mbUnref(MB_BLK blk);
// Address and size of a held block (null, 0 otherwise).
uint8_t* mbData(MB_BLK blk, size_t* size);
// Grows a loose block to at least `size` bytes (contents are not kept).
// Only for blocks nobody else is reading.
bool mbEnsureSize(MB_BLK blk, size_t size);

// Blocks referenced by encoder channels: RK_MPI_SYS_WaitFreeMB waits for 0.
bool vencWaitNoneHeld(int timeoutMs);
void vencDestroyAll();

// Copies the NV12 frame `src` (stride and luma rows given) into the packed
// `dst` of width x height and blends into it every region shown on encoder
// channel `chn`. Returns false, touching nothing, when no region would
// change the frame.
bool rgnComposite(int chn, const uint8_t* src, int srcStride, int srcRows, uint8_t* dst, int width,
                  int height);
void rgnDestroyAll();

}  // namespace hlmedia
