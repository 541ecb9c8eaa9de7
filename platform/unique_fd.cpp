#include "platform/unique_fd.h"

#include <unistd.h>

#include "platform/devio.h"

namespace platform {

int closeDescriptor(int fd) { return ::close(fd); }

int DeviceClose::operator()(int fd) const { return dev().close(fd); }

}  // namespace platform
