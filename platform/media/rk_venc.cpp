// H.264 encoder channels on libx264.
//
// Each channel owns a worker thread and a fixed set of stream buffers. A frame
// sent reserves a stream buffer at once (so RK_MPI_VENC_SendFrame waits while
// every buffer is reserved, ready or taken) and takes a reference on its block;
// the worker encodes it, fills the reserved buffer with the access unit and
// then drops the reference. Nothing is allocated per frame: the buffers, the
// job ring and the composite scratch frame exist from channel creation.
//
// x264 runs without look-ahead or B-frames, one thread, so every frame gives
// its packet straight away and the packets come out in the order sent.
#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_set>
#include <vector>

extern "C" {
#include <x264.h>
}

#include "platform/media/media_internal.h"
#include "platform/media/rk_mpi.h"

namespace {

constexpr RK_U32 kDefaultStreamBufs = 3;
constexpr RK_U32 kMaxStreamBufs = 16;
constexpr RK_U32 kMinSide = 16;
constexpr RK_U32 kMaxSide = 4096;

enum class BufState { Free, Reserved, Ready, Taken };

struct StreamBuf {
  MB_BLK blk = MB_INVALID_HANDLE;  // set at creation, never changed
  BufState state = BufState::Free;
  RK_U32 len = 0;
  RK_U64 pts = 0;
  H264E_NALU_TYPE_E type = H264E_NALU_PSLICE;
};

struct Job {
  MB_BLK blk = MB_INVALID_HANDLE;
  RK_U32 virWidth = 0;
  RK_U32 virHeight = 0;
  RK_U64 pts = 0;
  size_t buf = 0;
};

// Fixed-capacity FIFO; never allocates after construction.
template <typename T>
class Ring {
 public:
  explicit Ring(size_t capacity) : items_(capacity) {}
  bool empty() const { return count_ == 0; }
  size_t size() const { return count_; }
  bool push(const T& v) {
    if (count_ == items_.size()) return false;
    items_[(head_ + count_++) % items_.size()] = v;
    return true;
  }
  T pop() {
    T v = items_[head_];
    head_ = (head_ + 1) % items_.size();
    --count_;
    return v;
  }

 private:
  std::vector<T> items_;
  size_t head_ = 0;
  size_t count_ = 0;
};

struct Channel {
  Channel(int channelId, size_t slots) : id(channelId), jobs(slots), ready(slots) {}

  const int id;
  VENC_CHN_ATTR_S attr{};
  VENC_H264_VUI_S vui{};
  int width = 0;
  int height = 0;

  std::mutex m;
  std::condition_variable bufFreed;     // senders wait here
  std::condition_variable packetReady;  // takers wait here
  std::condition_variable jobQueued;    // the worker waits here
  bool destroyed = false;
  bool receiving = false;
  RK_S64 recvLeft = -1;  // frames still accepted; -1 without limit
  bool idrPending = false;
  std::vector<StreamBuf> bufs;
  Ring<Job> jobs;
  Ring<size_t> ready;
  RK_U32 seq = 0;

  // The worker's own; set up before it starts and torn down after it ends.
  x264_t* enc = nullptr;
  std::vector<uint8_t> scratch;
  int64_t framesIn = 0;
  std::thread worker;
};

std::mutex g_tableMutex;
std::array<std::shared_ptr<Channel>, VENC_MAX_CHN_NUM> g_channels;

// Blocks referenced by queued or encoding frames, over all channels.
std::mutex g_heldMutex;
std::condition_variable g_heldZero;
int g_held = 0;

// Packets still taken when their channel was destroyed.
std::mutex g_orphanMutex;
std::unordered_set<MB_BLK> g_orphans;

std::shared_ptr<Channel> channel(VENC_CHN id) {
  if (id < 0 || id >= VENC_MAX_CHN_NUM) return nullptr;
  std::lock_guard<std::mutex> lock(g_tableMutex);
  return g_channels[id];
}

void heldChange(int delta) {
  std::lock_guard<std::mutex> lock(g_heldMutex);
  g_held += delta;
  if (g_held == 0) g_heldZero.notify_all();
}

// Waits on `cv` as the timeout convention says: -1 without limit, 0 not at
// all, n > 0 up to n ms. Returns the predicate.
template <typename Pred>
bool waitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, RK_S32 ms,
             Pred pred) {
  if (ms < 0) {
    cv.wait(lock, pred);
    return true;
  }
  if (ms == 0) return pred();
  return cv.wait_for(lock, std::chrono::milliseconds(ms), pred);
}

// Drops a queued frame: its block reference and its reserved buffer.
// Caller holds ch.m.
void dropJob(Channel& ch, const Job& job) {
  hlmedia::mbUnref(job.blk);
  heldChange(-1);
  ch.bufs[job.buf].state = BufState::Free;
}

void x264Log(void*, int level, const char* fmt, va_list ap) {
  if (level > X264_LOG_ERROR) return;
  char text[512];
  std::vsnprintf(text, sizeof text, fmt, ap);
  RK_LOGE("x264: %s", text);
}

const char* profileName(RK_U32 profile) {
  switch (profile) {
    case 66:
      return "baseline";
    case 77:
      return "main";
    case 0:
    case 100:
      return "high";
    default:
      return nullptr;
  }
}

// Checks the attributes and fills in the defaults. Returns RK_SUCCESS or the error.
RK_S32 normalise(VENC_CHN_ATTR_S& a) {
  VENC_ATTR_S& v = a.stVencAttr;
  if (v.enType != RK_VIDEO_ID_AVC || v.enPixelFormat != RK_FMT_YUV420SP ||
      !profileName(v.u32Profile))
    return RK_ERR_VENC_NOT_SUPPORT;
  if (v.u32PicWidth < kMinSide || v.u32PicHeight < kMinSide || v.u32PicWidth > kMaxSide ||
      v.u32PicHeight > kMaxSide || v.u32PicWidth % 2 || v.u32PicHeight % 2)
    return RK_ERR_VENC_ILLEGAL_PARAM;
  if ((v.u32MaxPicWidth && v.u32PicWidth > v.u32MaxPicWidth) ||
      (v.u32MaxPicHeight && v.u32PicHeight > v.u32MaxPicHeight))
    return RK_ERR_VENC_ILLEGAL_PARAM;
  if (v.u32VirWidth == 0) v.u32VirWidth = v.u32PicWidth;
  if (v.u32VirHeight == 0) v.u32VirHeight = v.u32PicHeight;
  if (v.u32VirWidth < v.u32PicWidth || v.u32VirHeight < v.u32PicHeight ||
      v.u32VirWidth > kMaxSide || v.u32VirHeight > kMaxSide || v.u32VirHeight % 2)
    return RK_ERR_VENC_ILLEGAL_PARAM;
  if (v.u32StreamBufCnt == 0) v.u32StreamBufCnt = kDefaultStreamBufs;
  if (v.u32StreamBufCnt > kMaxStreamBufs) return RK_ERR_VENC_ILLEGAL_PARAM;
  if (v.u32BufSize == 0) v.u32BufSize = v.u32PicWidth * v.u32PicHeight * 3 / 2;

  VENC_RC_ATTR_S& rc = a.stRcAttr;
  // The two rate-control records share their leading fields.
  RK_U32* gop = rc.enRcMode == VENC_RC_MODE_H264CBR ? &rc.stH264Cbr.u32Gop : &rc.stH264Vbr.u32Gop;
  if (rc.enRcMode != VENC_RC_MODE_H264CBR && rc.enRcMode != VENC_RC_MODE_H264VBR)
    return RK_ERR_VENC_NOT_SUPPORT;
  VENC_H264_CBR_S& c = rc.stH264Cbr;
  if (*gop == 0 || *gop > 65536 || c.u32BitRate == 0 || c.u32BitRate > 200000)
    return RK_ERR_VENC_ILLEGAL_PARAM;
  if (c.u32SrcFrameRateDen == 0) c.u32SrcFrameRateDen = 1;
  if (c.fr32DstFrameRateDen == 0) c.fr32DstFrameRateDen = 1;
  if (c.fr32DstFrameRateNum == 0) c.fr32DstFrameRateNum = c.u32SrcFrameRateNum;
  if (c.fr32DstFrameRateNum == 0 || c.fr32DstFrameRateNum > 240 * c.fr32DstFrameRateDen)
    return RK_ERR_VENC_ILLEGAL_PARAM;
  return RK_SUCCESS;
}

x264_t* openEncoder(const VENC_CHN_ATTR_S& a, const VENC_H264_VUI_S& vui) {
  const VENC_ATTR_S& v = a.stVencAttr;
  const VENC_RC_ATTR_S& rc = a.stRcAttr;
  x264_param_t p;
  if (x264_param_default_preset(&p, "superfast", "zerolatency") < 0) return nullptr;
  p.i_csp = X264_CSP_NV12;
  p.i_width = static_cast<int>(v.u32PicWidth);
  p.i_height = static_cast<int>(v.u32PicHeight);
  // One thread: the board's encoder is a separate unit, and here the
  // program's own threads already share few cores.
  p.i_threads = 1;
  p.b_sliced_threads = 0;
  p.i_lookahead_threads = 1;
  p.i_fps_num = rc.stH264Cbr.fr32DstFrameRateNum;
  p.i_fps_den = rc.stH264Cbr.fr32DstFrameRateDen;
  p.b_vfr_input = 0;
  p.i_bframe = 0;
  p.i_keyint_max = static_cast<int>(rc.stH264Cbr.u32Gop);
  p.i_keyint_min = static_cast<int>(rc.stH264Cbr.u32Gop);
  p.i_scenecut_threshold = 0;  // a fixed GOP, as a hardware encoder keeps it
  p.b_open_gop = 0;
  p.b_repeat_headers = 1;  // parameter sets in front of every IDR frame
  p.b_annexb = 1;
  p.rc.i_rc_method = X264_RC_ABR;
  p.rc.i_bitrate = static_cast<int>(rc.stH264Cbr.u32BitRate);
  if (rc.enRcMode == VENC_RC_MODE_H264CBR) {
    p.rc.i_vbv_max_bitrate = p.rc.i_bitrate;
    p.rc.i_vbv_buffer_size = p.rc.i_bitrate;
  } else {
    const RK_U32 maxRate = rc.stH264Vbr.u32MaxBitRate;
    p.rc.i_vbv_max_bitrate = static_cast<int>(
        maxRate >= rc.stH264Vbr.u32BitRate ? maxRate : rc.stH264Vbr.u32BitRate * 3 / 2);
    p.rc.i_vbv_buffer_size = p.rc.i_vbv_max_bitrate;
  }
  const VENC_VUI_VIDEO_SIGNAL_S& signal = vui.stVuiVideoSignal;
  if (signal.video_signal_type_present_flag) {
    p.vui.i_vidformat = signal.video_format;
    p.vui.b_fullrange = signal.video_full_range_flag;
    if (signal.colour_description_present_flag) {
      p.vui.i_colorprim = signal.colour_primaries;
      p.vui.i_transfer = signal.transfer_characteristics;
      p.vui.i_colmatrix = signal.matrix_coefficients;
    }
  }
  p.i_log_level = X264_LOG_ERROR;
  p.pf_log = x264Log;
  if (x264_param_apply_profile(&p, profileName(v.u32Profile)) < 0) return nullptr;
  return x264_encoder_open(&p);
}

void runWorker(Channel* ch) {
  const int w = ch->width, h = ch->height;
  x264_picture_t pic, out;
  x264_picture_init(&pic);
  pic.img.i_csp = X264_CSP_NV12;
  pic.img.i_plane = 2;
  x264_nal_t* nals = nullptr;
  int nalCount = 0;
  std::unique_lock<std::mutex> lock(ch->m);
  for (;;) {
    ch->jobQueued.wait(lock, [ch] { return ch->destroyed || !ch->jobs.empty(); });
    if (ch->destroyed) return;
    const Job job = ch->jobs.pop();
    const bool idr = ch->idrPending;
    ch->idrPending = false;
    const MB_BLK outBlk = ch->bufs[job.buf].blk;
    lock.unlock();

    // Our reference keeps the block's memory; nobody writes a block that is
    // being encoded (the sender handed it over).
    uint8_t* src = hlmedia::mbData(job.blk, nullptr);
    if (src && hlmedia::rgnComposite(ch->id, src, static_cast<int>(job.virWidth),
                                     static_cast<int>(job.virHeight), ch->scratch.data(), w, h)) {
      pic.img.plane[0] = ch->scratch.data();
      pic.img.plane[1] = ch->scratch.data() + static_cast<size_t>(w) * h;
      pic.img.i_stride[0] = pic.img.i_stride[1] = w;
    } else {
      pic.img.plane[0] = src;
      pic.img.plane[1] = src + static_cast<size_t>(job.virWidth) * job.virHeight;
      pic.img.i_stride[0] = pic.img.i_stride[1] = static_cast<int>(job.virWidth);
    }
    pic.i_type = idr ? X264_TYPE_IDR : X264_TYPE_AUTO;
    pic.i_pts = ch->framesIn++;
    int bytes = src ? x264_encoder_encode(ch->enc, &nals, &nalCount, &pic, &out) : -1;
    // x264 has copied the picture into its own frame by now.
    bool ok =
        bytes > 0 && nalCount > 0 && hlmedia::mbEnsureSize(outBlk, static_cast<size_t>(bytes));
    if (ok) {
      // The NALs of one call lie one after another in memory.
      std::memcpy(hlmedia::mbData(outBlk, nullptr), nals[0].p_payload, static_cast<size_t>(bytes));
    }

    lock.lock();
    hlmedia::mbUnref(job.blk);
    heldChange(-1);
    if (ch->destroyed) return;  // the destroyer frees the buffers
    StreamBuf& buf = ch->bufs[job.buf];
    if (ok) {
      buf.state = BufState::Ready;
      buf.len = static_cast<RK_U32>(bytes);
      buf.pts = job.pts;
      buf.type = out.b_keyframe ? H264E_NALU_IDRSLICE : H264E_NALU_PSLICE;
      ch->ready.push(job.buf);
      ch->packetReady.notify_all();
    } else {
      buf.state = BufState::Free;
      ch->bufFreed.notify_all();
      RK_LOGE("venc %d: encoding a frame failed (%d)", ch->id, bytes);
    }
  }
}

void freeChannel(Channel& ch) {
  if (ch.enc) x264_encoder_close(ch.enc);
  ch.enc = nullptr;
  for (StreamBuf& b : ch.bufs) {
    if (b.state == BufState::Taken) {
      // Its taker may still be reading it: the block lives on with the
      // taker's reference until RK_MPI_VENC_ReleaseStream.
      std::lock_guard<std::mutex> lock(g_orphanMutex);
      g_orphans.insert(b.blk);
    }
    hlmedia::mbUnref(b.blk);
  }
  ch.bufs.clear();
}

}  // namespace

namespace hlmedia {

bool vencWaitNoneHeld(int timeoutMs) {
  std::unique_lock<std::mutex> lock(g_heldMutex);
  return g_heldZero.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [] { return g_held == 0; });
}

void vencDestroyAll() {
  for (VENC_CHN id = 0; id < VENC_MAX_CHN_NUM; ++id) RK_MPI_VENC_DestroyChn(id);
}

}  // namespace hlmedia

extern "C" {

RK_S32 RK_MPI_VENC_CreateChn(VENC_CHN id, const VENC_CHN_ATTR_S* pstAttr) {
  if (id < 0 || id >= VENC_MAX_CHN_NUM) return RK_ERR_VENC_INVALID_CHNID;
  if (!pstAttr) return RK_ERR_VENC_NULL_PTR;
  if (channel(id)) return RK_ERR_VENC_EXIST;
  VENC_CHN_ATTR_S attr = *pstAttr;
  RK_S32 ret = normalise(attr);
  if (ret != RK_SUCCESS) {
    RK_LOGE("RK_MPI_VENC_CreateChn: channel %d attributes refused %#x", id,
            static_cast<unsigned>(ret));
    return ret;
  }
  const VENC_ATTR_S& v = attr.stVencAttr;
  auto ch = std::make_shared<Channel>(id, v.u32StreamBufCnt);
  ch->attr = attr;
  ch->width = static_cast<int>(v.u32PicWidth);
  ch->height = static_cast<int>(v.u32PicHeight);
  ch->scratch.resize(static_cast<size_t>(ch->width) * ch->height * 3 / 2);
  ch->enc = openEncoder(attr, ch->vui);
  if (!ch->enc) {
    RK_LOGE("RK_MPI_VENC_CreateChn: the encoder refused channel %d", id);
    return RK_ERR_VENC_ILLEGAL_PARAM;
  }
  ch->bufs.resize(v.u32StreamBufCnt);
  for (StreamBuf& b : ch->bufs) {
    b.blk = hlmedia::mbCreateLoose(v.u32BufSize);
    if (!b.blk) {
      freeChannel(*ch);
      return RK_ERR_VENC_NOMEM;
    }
  }
  {
    std::lock_guard<std::mutex> lock(g_tableMutex);
    if (g_channels[id]) {
      freeChannel(*ch);
      return RK_ERR_VENC_EXIST;
    }
    ch->worker = std::thread(runWorker, ch.get());
    g_channels[id] = ch;
  }
  return RK_SUCCESS;
}

RK_S32 RK_MPI_VENC_DestroyChn(VENC_CHN id) {
  if (id < 0 || id >= VENC_MAX_CHN_NUM) return RK_ERR_VENC_INVALID_CHNID;
  std::shared_ptr<Channel> ch;
  {
    std::lock_guard<std::mutex> lock(g_tableMutex);
    ch.swap(g_channels[id]);
  }
  if (!ch) return RK_ERR_VENC_UNEXIST;
  {
    std::lock_guard<std::mutex> lock(ch->m);
    ch->destroyed = true;
    ch->receiving = false;
    ch->jobQueued.notify_all();
    ch->bufFreed.notify_all();
    ch->packetReady.notify_all();
  }
  ch->worker.join();
  std::lock_guard<std::mutex> lock(ch->m);
  while (!ch->jobs.empty()) dropJob(*ch, ch->jobs.pop());
  freeChannel(*ch);
  return RK_SUCCESS;
}

RK_S32 RK_MPI_VENC_GetChnAttr(VENC_CHN id, VENC_CHN_ATTR_S* pstAttr) {
  if (!pstAttr) return RK_ERR_VENC_NULL_PTR;
  auto ch = channel(id);
  if (!ch) return RK_ERR_VENC_UNEXIST;
  *pstAttr = ch->attr;  // written once before the channel was published
  return RK_SUCCESS;
}

RK_S32 RK_MPI_VENC_StartRecvFrame(VENC_CHN id, const VENC_RECV_PIC_PARAM_S* param) {
  if (!param) return RK_ERR_VENC_NULL_PTR;
  if (param->s32RecvPicNum == 0 || param->s32RecvPicNum < -1) return RK_ERR_VENC_ILLEGAL_PARAM;
  auto ch = channel(id);
  if (!ch) return RK_ERR_VENC_UNEXIST;
  std::lock_guard<std::mutex> lock(ch->m);
  ch->receiving = true;
  ch->recvLeft = param->s32RecvPicNum;
  return RK_SUCCESS;
}

RK_S32 RK_MPI_VENC_StopRecvFrame(VENC_CHN id) {
  auto ch = channel(id);
  if (!ch) return RK_ERR_VENC_UNEXIST;
  std::lock_guard<std::mutex> lock(ch->m);
  ch->receiving = false;
  while (!ch->jobs.empty()) dropJob(*ch, ch->jobs.pop());
  ch->bufFreed.notify_all();
  return RK_SUCCESS;
}

RK_S32 RK_MPI_VENC_SendFrame(VENC_CHN id, const VIDEO_FRAME_INFO_S* pstFrame, RK_S32 ms) {
  if (!pstFrame) return RK_ERR_VENC_NULL_PTR;
  auto ch = channel(id);
  if (!ch) return RK_ERR_VENC_UNEXIST;
  const VIDEO_FRAME_S& f = pstFrame->stVFrame;
  const RK_U32 virW = f.u32VirWidth ? f.u32VirWidth : f.u32Width;
  const RK_U32 virH = f.u32VirHeight ? f.u32VirHeight : f.u32Height;
  if (f.enPixelFormat != RK_FMT_YUV420SP || f.u32Width != static_cast<RK_U32>(ch->width) ||
      f.u32Height != static_cast<RK_U32>(ch->height) || virW < f.u32Width || virH < f.u32Height ||
      virW > kMaxSide || virH > kMaxSide || virH % 2)
    return RK_ERR_VENC_ILLEGAL_PARAM;
  size_t size = 0;
  if (!hlmedia::mbData(f.pMbBlk, &size)) return RK_ERR_VENC_ILLEGAL_PARAM;
  if (size < static_cast<size_t>(virW) * virH * 3 / 2) return RK_ERR_VENC_ILLEGAL_PARAM;

  std::unique_lock<std::mutex> lock(ch->m);
  auto freeBuf = [&ch]() -> StreamBuf* {
    for (StreamBuf& b : ch->bufs)
      if (b.state == BufState::Free) return &b;
    return nullptr;
  };
  const bool got = waitFor(ch->bufFreed, lock, ms,
                           [&] { return ch->destroyed || !ch->receiving || freeBuf() != nullptr; });
  if (ch->destroyed) return RK_ERR_VENC_UNEXIST;
  if (!ch->receiving) return RK_ERR_VENC_NOT_PERM;
  if (!got) return RK_ERR_VENC_BUF_FULL;
  StreamBuf* buf = freeBuf();
  // The caller may have released the block meanwhile (its own bug): refuse.
  if (!hlmedia::mbRef(f.pMbBlk)) return RK_ERR_VENC_ILLEGAL_PARAM;
  heldChange(+1);
  buf->state = BufState::Reserved;
  Job job;
  job.blk = f.pMbBlk;
  job.virWidth = virW;
  job.virHeight = virH;
  job.pts = f.u64PTS;
  job.buf = static_cast<size_t>(buf - ch->bufs.data());
  ch->jobs.push(job);  // a reserved buffer per job, so it never overflows
  if (ch->recvLeft > 0 && --ch->recvLeft == 0) ch->receiving = false;
  ch->jobQueued.notify_one();
  return RK_SUCCESS;
}

RK_S32 RK_MPI_VENC_GetStream(VENC_CHN id, VENC_STREAM_S* pstStream, RK_S32 ms) {
  if (!pstStream || !pstStream->pstPack) return RK_ERR_VENC_NULL_PTR;
  auto ch = channel(id);
  if (!ch) return RK_ERR_VENC_UNEXIST;
  std::unique_lock<std::mutex> lock(ch->m);
  waitFor(ch->packetReady, lock, ms, [&] { return ch->destroyed || !ch->ready.empty(); });
  if (ch->destroyed) return RK_ERR_VENC_UNEXIST;
  if (ch->ready.empty()) return RK_ERR_VENC_BUF_EMPTY;
  StreamBuf& buf = ch->bufs[ch->ready.pop()];
  buf.state = BufState::Taken;
  hlmedia::mbRef(buf.blk);  // the taker's, dropped by the release
  VENC_PACK_S& pack = *pstStream->pstPack;
  pack = VENC_PACK_S{};
  pack.pMbBlk = buf.blk;
  pack.u32Len = buf.len;
  pack.u64PTS = buf.pts;
  pack.bFrameEnd = RK_TRUE;
  pack.DataType.enH264EType = buf.type;
  pstStream->u32PackCount = 1;
  pstStream->u32Seq = ch->seq++;
  return RK_SUCCESS;
}

RK_S32 RK_MPI_VENC_ReleaseStream(VENC_CHN id, VENC_STREAM_S* pstStream) {
  if (!pstStream || !pstStream->pstPack) return RK_ERR_VENC_NULL_PTR;
  const MB_BLK blk = pstStream->pstPack->pMbBlk;
  if (!blk) return RK_ERR_VENC_ILLEGAL_PARAM;
  if (auto ch = channel(id)) {
    std::lock_guard<std::mutex> lock(ch->m);
    for (StreamBuf& b : ch->bufs) {
      if (b.blk != blk) continue;
      if (b.state != BufState::Taken) return RK_ERR_VENC_NOT_PERM;
      b.state = BufState::Free;
      hlmedia::mbUnref(blk);
      ch->bufFreed.notify_all();
      return RK_SUCCESS;
    }
  }
  std::lock_guard<std::mutex> lock(g_orphanMutex);
  if (g_orphans.erase(blk) == 0) return RK_ERR_VENC_ILLEGAL_PARAM;
  hlmedia::mbUnref(blk);
  return RK_SUCCESS;
}

RK_S32 RK_MPI_VENC_RequestIDR(VENC_CHN id, RK_BOOL bInstant) {
  (void)bInstant;  // frames are encoded as they come: the next one is always "instant"
  auto ch = channel(id);
  if (!ch) return RK_ERR_VENC_UNEXIST;
  std::lock_guard<std::mutex> lock(ch->m);
  ch->idrPending = true;
  return RK_SUCCESS;
}

RK_S32 RK_MPI_VENC_QueryStatus(VENC_CHN id, VENC_CHN_STATUS_S* pstStatus) {
  if (!pstStatus) return RK_ERR_VENC_NULL_PTR;
  auto ch = channel(id);
  if (!ch) return RK_ERR_VENC_UNEXIST;
  std::lock_guard<std::mutex> lock(ch->m);
  *pstStatus = VENC_CHN_STATUS_S{};
  for (const StreamBuf& b : ch->bufs) {
    if (b.state == BufState::Reserved) ++pstStatus->u32LeftPics;
    if (b.state == BufState::Ready) ++pstStatus->u32LeftStreamFrames;
    if (b.state == BufState::Taken) ++pstStatus->u32CurPacks;
  }
  pstStatus->u32LeftRecvPics = ch->recvLeft > 0 ? static_cast<RK_U32>(ch->recvLeft) : 0;
  return RK_SUCCESS;
}

RK_S32 RK_MPI_VENC_GetH264Vui(VENC_CHN id, VENC_H264_VUI_S* pstH264Vui) {
  if (!pstH264Vui) return RK_ERR_VENC_NULL_PTR;
  auto ch = channel(id);
  if (!ch) return RK_ERR_VENC_UNEXIST;
  std::lock_guard<std::mutex> lock(ch->m);
  *pstH264Vui = ch->vui;
  return RK_SUCCESS;
}

RK_S32 RK_MPI_VENC_SetH264Vui(VENC_CHN id, const VENC_H264_VUI_S* pstH264Vui) {
  if (!pstH264Vui) return RK_ERR_VENC_NULL_PTR;
  const VENC_VUI_VIDEO_SIGNAL_S& signal = pstH264Vui->stVuiVideoSignal;
  if (signal.video_format > 7 || signal.video_full_range_flag > 1) return RK_ERR_VENC_ILLEGAL_PARAM;
  auto ch = channel(id);
  if (!ch) return RK_ERR_VENC_UNEXIST;
  std::lock_guard<std::mutex> lock(ch->m);
  // The parameter sets are x264's at opening: a new VUI needs a new encoder,
  // which only an idle worker (nothing received, nothing being encoded) allows.
  const bool busy = std::any_of(ch->bufs.begin(), ch->bufs.end(),
                                [](const StreamBuf& b) { return b.state == BufState::Reserved; });
  if (ch->receiving || busy) return RK_ERR_VENC_NOT_PERM;
  x264_t* enc = openEncoder(ch->attr, *pstH264Vui);
  if (!enc) return RK_ERR_VENC_ILLEGAL_PARAM;
  x264_encoder_close(ch->enc);
  ch->enc = enc;
  ch->vui = *pstH264Vui;
  return RK_SUCCESS;
}

}  // extern "C"
