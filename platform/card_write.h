#pragma once
// Writes of recordings and photos to the SD card. They go through here so that a test or
// the simulator can make the card fill up or vanish in the middle of a
// recording, which no PC file system does on request.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace platform {

// Writes all `len` bytes to `fd`, retrying short writes and EINTR. Returns
// `len`, or -1 with errno set (a part may have been written).
ssize_t cardWrite(int fd, const void* data, size_t len);

// Creates the file at `fsPath` (a path on this machine, already mapped) for
// writing, as a new file only: whatever is at the name already, a link
// included, makes it fail with EEXIST, and a folder that is itself a link
// with ENOTDIR or ELOOP, and a card that is out (setCardPulled) with ENODEV.
// Nothing on the card is written through a link.
// Returns the descriptor (close-on-exec) or -1 with errno set.
int cardCreate(const char* fsPath);

// Something is at `fsPath` (mapped, as above), a link included whether or
// not it leads anywhere: the name is not free for a new file.
bool cardNameInUse(const char* fsPath);

// After `bytes` more bytes have been written through cardWrite, every write
// fails with `error` (ENOSPC: the card is full; EIO: it was pulled). The write
// that crosses the limit writes what fits, then fails. A negative `bytes`
// lifts the fault. Process-wide; safe from any thread.
void setCardWriteFault(int64_t bytes, int error);

// The card taken out of its slot (true) or back in. While it is out, every
// write through cardWrite fails with EIO, as writes to a file left open on a
// vanished block device do, whatever the fault above allows. Process-wide;
// safe from any thread.
void setCardPulled(bool pulled);

}  // namespace platform
