#pragma once
// Encoder channel 0: H.264 High profile, constant 10240 kbit/s, GOP 50,
// 25 fps, from 360 x 320 NV12 frames. It lives as long as a capture run.
#include "platform/media/rk_mpi.h"

// The channel's attributes: everything not named here is zero. Inline, so
// the media platform's own tests and benchmarks use the very same record
// without linking the imaging layer.
inline VENC_CHN_ATTR_S recordingChannelAttr() {
  constexpr RK_U32 kWidth = 360, kHeight = 320;
  VENC_CHN_ATTR_S a{};
  a.stVencAttr.enType = RK_VIDEO_ID_AVC;
  a.stVencAttr.u32MaxPicWidth = kWidth;
  a.stVencAttr.u32MaxPicHeight = kHeight;
  a.stVencAttr.enPixelFormat = RK_FMT_YUV420SP;
  a.stVencAttr.enMirror = MIRROR_NONE;
  a.stVencAttr.u32BufSize = kWidth * kHeight * 3 / 2;
  a.stVencAttr.u32Profile = 100;
  a.stVencAttr.bByFrame = RK_FALSE;
  a.stVencAttr.u32PicWidth = kWidth;
  a.stVencAttr.u32PicHeight = kHeight;
  a.stVencAttr.u32VirWidth = kWidth;
  a.stVencAttr.u32VirHeight = kHeight;
  a.stVencAttr.u32StreamBufCnt = 3;
  a.stRcAttr.enRcMode = VENC_RC_MODE_H264CBR;
  a.stRcAttr.stH264Cbr.u32Gop = 50;
  a.stRcAttr.stH264Cbr.u32SrcFrameRateNum = 25;
  a.stRcAttr.stH264Cbr.u32SrcFrameRateDen = 1;
  a.stRcAttr.stH264Cbr.fr32DstFrameRateNum = 25;
  a.stRcAttr.stH264Cbr.fr32DstFrameRateDen = 1;
  a.stRcAttr.stH264Cbr.u32BitRate = 10240;
  a.stRcAttr.stH264Cbr.u32StatTime = 0;
  return a;
}

// What the channel's stream says of its pictures: full-range BT.601, as
// the display's frames are (and the photos read them). Without it players
// take the samples for limited range and show every colour washed and dark.
inline void setRecordingSignal(VENC_H264_VUI_S* vui) {
  VENC_VUI_VIDEO_SIGNAL_S& s = vui->stVuiVideoSignal;
  s.video_signal_type_present_flag = 1;
  s.video_format = 5;  // unspecified
  s.video_full_range_flag = 1;
  s.colour_description_present_flag = 1;
  s.colour_primaries = 2;  // unspecified: a thermal picture has no primaries
  s.transfer_characteristics = 2;
  s.matrix_coefficients = 6;  // BT.601
}

// Creates and starts the channel; false (after its message) on failure.
// IrCamera::OpenEncoderChannel is the camera's step around it.
bool createEncoderChannel();
// Stops and destroys the channel, then waits until the encoder holds no
// more frame blocks. Failures are reported and teardown goes on.
void destroyEncoderChannel();
