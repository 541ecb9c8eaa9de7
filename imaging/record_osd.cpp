#include "imaging/record_osd.h"

#include <cstdio>
#include <cstring>

#include "platform/diag.h"
#include "platform/media/rk_mpi.h"

namespace {

constexpr RGN_HANDLE kHandle = 0;

bool g_started = false;
int g_width = 0;
int g_height = 0;

MPP_CHN_S encoderChannel() {
  MPP_CHN_S chn;
  std::memset(&chn, 0, sizeof chn);
  chn.enModId = RK_ID_VENC;
  chn.s32DevId = 0;
  chn.s32ChnId = 0;
  return chn;
}

}  // namespace

int record_osd_start(int width, int height) {
  if (g_started) record_osd_stop();
  if (width <= 0 || height <= 0) {
    width = 360;
    height = 320;
  }
  RGN_ATTR_S attr;
  std::memset(&attr, 0, sizeof attr);
  attr.enType = OVERLAY_RGN;
  attr.unAttr.stOverlay.enPixelFmt = RK_FMT_RGBA8888;
  attr.unAttr.stOverlay.stSize.u32Width = static_cast<RK_U32>(width);
  attr.unAttr.stOverlay.stSize.u32Height = static_cast<RK_U32>(height);
  attr.unAttr.stOverlay.u32CanvasNum = 1;
  RK_S32 ret = RK_MPI_RGN_Create(kHandle, &attr);
  if (ret != RK_SUCCESS) {
    RK_LOGE("record_osd: RGN_Create failed %#x", static_cast<unsigned>(ret));
    return -1;
  }

  RGN_CHN_ATTR_S chnAttr;
  std::memset(&chnAttr, 0, sizeof chnAttr);
  chnAttr.bShow = RK_TRUE;
  chnAttr.enType = OVERLAY_RGN;
  OVERLAY_CHN_ATTR_S& o = chnAttr.unChnAttr.stOverlayChn;
  o.stPoint.s32X = 0;
  o.stPoint.s32Y = 0;
  o.u32FgAlpha = 0;
  o.u32BgAlpha = 0;
  o.u32Layer = 0;
  o.stQpInfo.bAbsQp = RK_FALSE;
  o.stQpInfo.s32Qp = 0;
  o.stQpInfo.bEnable = RK_TRUE;
  const MPP_CHN_S chn = encoderChannel();
  ret = RK_MPI_RGN_AttachToChn(kHandle, &chn, &chnAttr);
  if (ret != RK_SUCCESS) {
    RK_LOGE("record_osd: AttachToChn failed %#x", static_cast<unsigned>(ret));
    RK_MPI_RGN_Destroy(kHandle);
    return -1;
  }
  g_width = width;
  g_height = height;
  g_started = true;
  diag::out("record_osd: started %dx%d on VENC0\n", width, height);
  return 0;
}

int record_osd_set_bitmap(const void* data, int width, int height) {
  if (!g_started || !data || width != g_width || height != g_height) return -1;
  BITMAP_S bmp;
  std::memset(&bmp, 0, sizeof bmp);
  bmp.enPixelFormat = RK_FMT_RGBA8888;
  bmp.u32Width = static_cast<RK_U32>(width);
  bmp.u32Height = static_cast<RK_U32>(height);
  bmp.pData = const_cast<void*>(data);  // the platform copies the pixels
  const RK_S32 ret = RK_MPI_RGN_SetBitMap(kHandle, &bmp);
  if (ret != RK_SUCCESS) {
    RK_LOGE("record_osd: SetBitMap failed %#x", static_cast<unsigned>(ret));
    return -1;
  }
  return 0;
}

void record_osd_stop() {
  if (!g_started) return;
  const MPP_CHN_S chn = encoderChannel();
  RK_MPI_RGN_DetachFromChn(kHandle, &chn);
  RK_MPI_RGN_Destroy(kHandle);
  g_width = 0;
  g_height = 0;
  g_started = false;
  diag::out("record_osd: stopped\n");
}

bool record_osd_started() { return g_started; }
