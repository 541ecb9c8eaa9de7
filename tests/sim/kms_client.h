#pragma once
// What a display layer does with the DRM seam, shortened for the tests:
// property ids by name, NV12 scan-out buffers, a plane commit.
#include <drm_fourcc.h>
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <map>
#include <string>

#include "platform/drm/drm_api.h"
#include "platform/unique_fd.h"

namespace simtest {

inline std::map<std::string, uint32_t> propertyIds(
    int fd, uint32_t object, uint32_t type, std::map<std::string, uint64_t>* values = nullptr) {
  auto& d = platform::drm();
  std::map<std::string, uint32_t> out;
  drmModeObjectProperties* props = d.objectGetProperties(fd, object, type);
  for (uint32_t i = 0; props && i < props->count_props; ++i) {
    drmModePropertyRes* p = d.getProperty(fd, props->props[i]);
    if (!p) continue;
    out[p->name] = p->prop_id;
    if (values) (*values)[p->name] = props->prop_values[i];
    d.freeProperty(p);
  }
  if (props) d.freeObjectProperties(props);
  return out;
}

struct Buffer {
  uint32_t handle = 0, pitch = 0, fb = 0;
  uint64_t size = 0;
  uint8_t* map = nullptr;
  platform::UniqueFd prime;
};

// A mapped NV12 framebuffer, exported by PRIME; its handle is already gone,
// the framebuffer keeping the memory.
inline Buffer makeNv12(int fd, uint32_t w, uint32_t h) {
  auto& d = platform::drm();
  Buffer b;
  EXPECT_EQ(d.createDumbBuffer(fd, w, h * 3 / 2, 8, 0, &b.handle, &b.pitch, &b.size), 0);
  uint64_t offset = 0;
  EXPECT_EQ(d.mapDumbBuffer(fd, b.handle, &offset), 0);
  void* m = d.mmap(nullptr, b.size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, offset);
  EXPECT_NE(m, MAP_FAILED);
  b.map = static_cast<uint8_t*>(m);
  int prime = -1;
  EXPECT_EQ(d.primeHandleToFD(fd, b.handle, DRM_CLOEXEC | DRM_RDWR, &prime), 0);
  b.prime.reset(prime);
  const uint32_t handles[4] = {b.handle, b.handle}, pitches[4] = {b.pitch, b.pitch},
                 offsets[4] = {0, b.pitch * h};
  EXPECT_EQ(d.addFB2(fd, w, h, DRM_FORMAT_NV12, handles, pitches, offsets, &b.fb, 0), 0);
  EXPECT_EQ(d.destroyDumbBuffer(fd, b.handle), 0);
  return b;
}

inline int commitPlane(int fd, uint32_t plane, uint32_t crtc, uint32_t fb, uint32_t w, uint32_t h,
                       uint32_t flags = 0) {
  auto& d = platform::drm();
  const auto ids = propertyIds(fd, plane, DRM_MODE_OBJECT_PLANE);
  drmModeAtomicReq* req = d.atomicAlloc();
  const char* names[] = {"CRTC_ID", "FB_ID",  "SRC_X",  "SRC_Y",  "SRC_W",
                         "SRC_H",   "CRTC_X", "CRTC_Y", "CRTC_W", "CRTC_H"};
  const uint64_t values[] = {crtc, fb, 0, 0, uint64_t{w} << 16, uint64_t{h} << 16, 0, 0, w, h};
  for (int i = 0; i < 10; ++i) {
    const auto it = ids.find(names[i]);
    d.atomicAddProperty(req, plane, it == ids.end() ? 0 : it->second, values[i]);
  }
  const int rc = d.atomicCommit(fd, req, flags, nullptr);
  d.atomicFree(req);
  return rc;
}

}  // namespace simtest
