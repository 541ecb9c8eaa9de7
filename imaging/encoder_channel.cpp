#include "imaging/encoder_channel.h"

#include <cstring>

#include "platform/diag.h"
#include "platform/media/rk_mpi.h"

bool createEncoderChannel() {
  const VENC_CHN_ATTR_S attr = recordingChannelAttr();
  if (RK_MPI_VENC_CreateChn(0, &attr) != RK_SUCCESS) {
    diag::out("ERROR: Create h264 venc failed!\n");
    return false;
  }
  // Starting from the channel's own VUI keeps what the encoder fills in.
  VENC_H264_VUI_S vui;
  std::memset(&vui, 0, sizeof vui);
  RK_S32 ret = RK_MPI_VENC_GetH264Vui(0, &vui);
  if (ret == RK_SUCCESS) {
    setRecordingSignal(&vui);
    ret = RK_MPI_VENC_SetH264Vui(0, &vui);
  }
  // Recordings still work without it, only their colours are guessed.
  if (ret != RK_SUCCESS)
    diag::warning(diag::kRecording, "colour range not set on encoder channel 0 (%#x)",
                  static_cast<unsigned>(ret));
  VENC_RECV_PIC_PARAM_S recv;
  std::memset(&recv, 0, sizeof recv);
  recv.s32RecvPicNum = -1;
  if (RK_MPI_VENC_StartRecvFrame(0, &recv) != RK_SUCCESS) {
    diag::out("create ch 0 venc failed\n");
    RK_MPI_VENC_DestroyChn(0);
    return false;
  }
  return true;
}

void destroyEncoderChannel() {
  RK_S32 ret = RK_MPI_VENC_StopRecvFrame(0);
  if (ret != RK_SUCCESS) diag::out("destroy stop recv frame failed:%d\n", ret);
  ret = RK_MPI_VENC_DestroyChn(0);
  if (ret != RK_SUCCESS) diag::out("RK_MPI_VDEC_DestroyChn fail %x\n", static_cast<unsigned>(ret));
  RK_MPI_SYS_WaitFreeMB();
}
