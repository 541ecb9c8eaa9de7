#pragma once
// The chip's media platform as the program uses it: memory-block pools, the
// H.264 encoder channels, overlay regions and the platform's error log.
//
// On the PC this is our own implementation (pools in process memory, libx264
// behind the encoder channel, a software blender for the regions). A board
// build links the vendor library behind the same names instead, so this header
// carries no types of the software implementation.
//
// Conventions shared by every call:
// - RK_SUCCESS (0) is success; a failure is a negative RK_S32 error code and,
//   where it helps, one line through RK_LOG. Bad handles, null pointers and
//   out-of-range values are refused, never crash.
// - Every call may be made from any thread; calls on different objects (a
//   frame sent on one thread, a packet taken on another, a region updated on a
//   third) run concurrently.
// - The software platform needs no RK_MPI_SYS_Init before use; RK_MPI_SYS_Exit
//   tears down whatever channels and regions are left.
//
// A recording, in outline:
//   pool = RK_MPI_MB_CreatePool(&{172800, count});        // once
//   RK_MPI_VENC_CreateChn(0, &attr);                       // camera bring-up
//   RK_MPI_VENC_StartRecvFrame(0, &{-1});
//   feed, per frame:   blk = RK_MPI_MB_GetMB(pool, 172800, RK_TRUE);
//                      fill RK_MPI_MB_Handle2VirAddr(blk); RK_MPI_SYS_MmzFlushCache;
//                      RK_MPI_VENC_SendFrame(0, &frame{blk, 360, 320, ...}, -1);
//                      RK_MPI_MB_ReleaseMB(blk);          // the channel keeps its own reference
//   writer, per packet: RK_MPI_VENC_GetStream(0, &stream{&pack}, 200);
//                      write RK_MPI_MB_Handle2VirAddr(pack.pMbBlk), pack.u32Len bytes;
//                      RK_MPI_VENC_ReleaseStream(0, &stream);
//   overlay:           RK_MPI_RGN_Create(0, ..); RK_MPI_RGN_AttachToChn(0, {RK_ID_VENC, 0, 0}, ..);
//                      RK_MPI_RGN_SetBitMap(0, &bitmap) whenever the picture changes
//   teardown:          RK_MPI_VENC_StopRecvFrame(0); RK_MPI_VENC_DestroyChn(0);
//                      RK_MPI_SYS_WaitFreeMB();
// The writer must keep taking packets while frames are sent with timeout -1:
// a channel whose three stream buffers are all full makes the send wait.
#include <cstddef>
#include <cstdint>

typedef int32_t RK_S32;
typedef uint32_t RK_U32;
typedef int64_t RK_S64;
typedef uint64_t RK_U64;
typedef uint16_t RK_U16;
typedef uint8_t RK_U8;
typedef void RK_VOID;

// Every enumeration has a fixed underlying type, so any number a caller puts
// in a record field is a valid value to check (and refuse).

typedef enum : RK_S32 { RK_FALSE = 0, RK_TRUE = 1 } RK_BOOL;

#define RK_SUCCESS 0
#define RK_FAILURE (-1)

// Error codes: 0x80000000 | module << 16 | level << 13 | error number, i.e.
// always negative as RK_S32.
#define RK_ERR_APPID 0x80000000U
#define RK_ERR_LEVEL_ERROR 4U
#define RK_DEF_ERR(mod, err) \
  ((RK_S32)(RK_ERR_APPID | ((RK_U32)(mod) << 16) | (RK_ERR_LEVEL_ERROR << 13) | (RK_U32)(err)))

enum {
  RK_ERR_INVALID_DEVID = 1,
  RK_ERR_INVALID_CHNID = 2,
  RK_ERR_ILLEGAL_PARAM = 3,
  RK_ERR_EXIST = 4,
  RK_ERR_UNEXIST = 5,
  RK_ERR_NULL_PTR = 6,
  RK_ERR_NOT_CONFIG = 7,
  RK_ERR_NOT_SUPPORT = 8,
  RK_ERR_NOT_PERM = 9,
  RK_ERR_NOMEM = 12,
  RK_ERR_NOBUF = 13,
  RK_ERR_BUF_EMPTY = 14,
  RK_ERR_BUF_FULL = 15,
  RK_ERR_SYS_NOTREADY = 16,
  RK_ERR_BUSY = 18,
  RK_ERR_TIMEOUT = 19,
};

// Module codes (also used to name a channel to attach a region to).
typedef enum : RK_S32 {
  RK_ID_CMPI = 0,
  RK_ID_MB = 1,
  RK_ID_SYS = 3,
  RK_ID_VENC = 4,
  RK_ID_RGN = 9,
} MOD_ID_E;

#define RK_ERR_MB_ILLEGAL_PARAM RK_DEF_ERR(RK_ID_MB, RK_ERR_ILLEGAL_PARAM)
#define RK_ERR_MB_NULL_PTR RK_DEF_ERR(RK_ID_MB, RK_ERR_NULL_PTR)
#define RK_ERR_MB_UNEXIST RK_DEF_ERR(RK_ID_MB, RK_ERR_UNEXIST)
#define RK_ERR_SYS_TIMEOUT RK_DEF_ERR(RK_ID_SYS, RK_ERR_TIMEOUT)

#define RK_ERR_VENC_INVALID_CHNID RK_DEF_ERR(RK_ID_VENC, RK_ERR_INVALID_CHNID)
#define RK_ERR_VENC_ILLEGAL_PARAM RK_DEF_ERR(RK_ID_VENC, RK_ERR_ILLEGAL_PARAM)
#define RK_ERR_VENC_EXIST RK_DEF_ERR(RK_ID_VENC, RK_ERR_EXIST)
#define RK_ERR_VENC_UNEXIST RK_DEF_ERR(RK_ID_VENC, RK_ERR_UNEXIST)
#define RK_ERR_VENC_NULL_PTR RK_DEF_ERR(RK_ID_VENC, RK_ERR_NULL_PTR)
#define RK_ERR_VENC_NOT_SUPPORT RK_DEF_ERR(RK_ID_VENC, RK_ERR_NOT_SUPPORT)
#define RK_ERR_VENC_NOT_PERM RK_DEF_ERR(RK_ID_VENC, RK_ERR_NOT_PERM)
#define RK_ERR_VENC_NOMEM RK_DEF_ERR(RK_ID_VENC, RK_ERR_NOMEM)
#define RK_ERR_VENC_BUF_EMPTY RK_DEF_ERR(RK_ID_VENC, RK_ERR_BUF_EMPTY)
#define RK_ERR_VENC_BUF_FULL RK_DEF_ERR(RK_ID_VENC, RK_ERR_BUF_FULL)

#define RK_ERR_RGN_INVALID_CHNID RK_DEF_ERR(RK_ID_RGN, RK_ERR_INVALID_CHNID)
#define RK_ERR_RGN_ILLEGAL_PARAM RK_DEF_ERR(RK_ID_RGN, RK_ERR_ILLEGAL_PARAM)
#define RK_ERR_RGN_EXIST RK_DEF_ERR(RK_ID_RGN, RK_ERR_EXIST)
#define RK_ERR_RGN_UNEXIST RK_DEF_ERR(RK_ID_RGN, RK_ERR_UNEXIST)
#define RK_ERR_RGN_NULL_PTR RK_DEF_ERR(RK_ID_RGN, RK_ERR_NULL_PTR)
#define RK_ERR_RGN_NOT_SUPPORT RK_DEF_ERR(RK_ID_RGN, RK_ERR_NOT_SUPPORT)
#define RK_ERR_RGN_NOT_PERM RK_DEF_ERR(RK_ID_RGN, RK_ERR_NOT_PERM)

// ---------------------------------------------------------------------------
// Common records

typedef enum : RK_S32 {
  RK_FMT_YUV420SP = 0,        // NV12: luma plane, then interleaved Cb/Cr at half size
  RK_FMT_RGBA8888 = 0x10013,  // bytes in memory R, G, B, A; alpha not premultiplied
} PIXEL_FORMAT_E;

typedef enum : RK_S32 { MIRROR_NONE = 0 } MIRROR_E;
typedef enum : RK_S32 { VIDEO_FIELD_FRAME = 0 } VIDEO_FIELD_E;
typedef enum : RK_S32 { VIDEO_FORMAT_LINEAR = 0 } VIDEO_FORMAT_E;
typedef enum : RK_S32 { COMPRESS_MODE_NONE = 0 } COMPRESS_MODE_E;

typedef enum : RK_S32 {
  RK_VIDEO_ID_Unused = 0,
  RK_VIDEO_ID_AVC = 8,  // H.264
} RK_CODEC_ID_E;

typedef struct {
  RK_S32 s32X;
  RK_S32 s32Y;
} POINT_S;

typedef struct {
  RK_U32 u32Width;
  RK_U32 u32Height;
} SIZE_S;

// A channel of a module: the encoder's channel 0 is {RK_ID_VENC, 0, 0}.
typedef struct {
  MOD_ID_E enModId;
  RK_S32 s32DevId;
  RK_S32 s32ChnId;
} MPP_CHN_S;

// ---------------------------------------------------------------------------
// Log

typedef enum : RK_S32 {
  RK_LOG_LEVEL_NONE = 0,
  RK_LOG_LEVEL_FATAL = 1,
  RK_LOG_LEVEL_ERROR = 2,
  RK_LOG_LEVEL_WARN = 3,
  RK_LOG_LEVEL_INFO = 4,
  RK_LOG_LEVEL_DEBUG = 5,
} RK_LOG_LEVEL_E;

extern "C" {

// One log line. Levels FATAL and ERROR go to standard error as
// "\033[31m\033[1m" + text + "\033[0m" and a line feed (a trailing line feed
// of the format is not doubled); other levels go plainly to standard output.
// `func` and `line` name the caller (the RK_LOGE macro fills them in).
void RK_LOG(RK_S32 level, const char* fmt, const char* func, RK_S32 line, ...)
    __attribute__((format(printf, 2, 5)));

}  // extern "C"

// The format must be a literal (the "" before it refuses anything else), so
// the compiler checks it against the arguments; the caller is named where the
// macro is written, never in a helper that logs on its behalf.
#define RK_LOGE(fmt, ...) RK_LOG(RK_LOG_LEVEL_ERROR, "" fmt, __func__, __LINE__, ##__VA_ARGS__)
#define RK_LOGW(fmt, ...) RK_LOG(RK_LOG_LEVEL_WARN, "" fmt, __func__, __LINE__, ##__VA_ARGS__)
#define RK_LOGI(fmt, ...) RK_LOG(RK_LOG_LEVEL_INFO, "" fmt, __func__, __LINE__, ##__VA_ARGS__)

// ---------------------------------------------------------------------------
// System and memory blocks

// A pool of equal blocks. Never 0 for a real pool: 0 is the failure value.
typedef RK_U32 MB_POOL;
#define MB_INVALID_POOLID ((MB_POOL)0)

// A block of a pool (or an encoded packet's block). Null is no block.
typedef RK_VOID* MB_BLK;
#define MB_INVALID_HANDLE ((MB_BLK)0)

typedef enum : RK_S32 { MB_REMAP_MODE_NONE = 0 } MB_REMAP_MODE_E;
typedef enum : RK_S32 { MB_ALLOC_TYPE_DMA = 0 } MB_ALLOC_TYPE_E;

typedef struct {
  RK_U64 u64MBSize;  // bytes per block, > 0
  RK_U32 u32MBCnt;   // blocks, > 0
  MB_REMAP_MODE_E enRemapMode;
  MB_ALLOC_TYPE_E enAllocType;
  RK_BOOL bPreAlloc;
} MB_POOL_CONFIG_S;

extern "C" {

RK_S32 RK_MPI_SYS_Init(RK_VOID);
// Destroys every encoder channel and region still present. Pools stay (their
// owners destroy them).
RK_S32 RK_MPI_SYS_Exit(RK_VOID);

// MB_INVALID_POOLID on a null or zero-sized configuration or when memory runs out.
MB_POOL RK_MPI_MB_CreatePool(const MB_POOL_CONFIG_S* pstMbPoolCfg);
// Blocks still held (by the caller or by an encoder) stay valid until their
// last holder releases them; a blocking RK_MPI_MB_GetMB waiting on the pool
// returns MB_INVALID_HANDLE.
RK_S32 RK_MPI_MB_DestroyPool(MB_POOL pool);
// A free block of the pool with one reference held by the caller.
// bIsBlock = RK_TRUE waits until a block is released (or the pool destroyed);
// RK_FALSE returns MB_INVALID_HANDLE at once when all blocks are held. A size
// above the pool's block size is refused.
MB_BLK RK_MPI_MB_GetMB(MB_POOL pool, RK_U64 u64Size, RK_BOOL bIsBlock);
// Drops the caller's reference; the block returns to its pool when nobody
// holds it any more.
RK_S32 RK_MPI_MB_ReleaseMB(MB_BLK mb);
// The block's bytes in this process; null for an unknown or free block.
RK_VOID* RK_MPI_MB_Handle2VirAddr(MB_BLK mb);
// Block size in bytes, 0 for an unknown block.
RK_U64 RK_MPI_MB_GetSize(MB_BLK mb);

// Makes processor writes visible to the hardware (nothing to do on the PC).
RK_S32 RK_MPI_SYS_MmzFlushCache(MB_BLK mb, RK_BOOL bReadOnly);
// Returns when no encoder channel holds a block any more (RK_ERR_SYS_TIMEOUT
// after 3 s, which only a stuck encoder can cause).
RK_S32 RK_MPI_SYS_WaitFreeMB(RK_VOID);

}  // extern "C"

// ---------------------------------------------------------------------------
// Video encoder

typedef RK_S32 VENC_CHN;
#define VENC_MAX_CHN_NUM 4

typedef struct {
  RK_U32 u32Level;  // 0 = chosen by the encoder
} VENC_ATTR_H264_S;

typedef struct {
  RK_CODEC_ID_E enType;  // RK_VIDEO_ID_AVC
  RK_U32 u32MaxPicWidth;
  RK_U32 u32MaxPicHeight;
  PIXEL_FORMAT_E enPixelFormat;  // RK_FMT_YUV420SP
  MIRROR_E enMirror;
  RK_U32 u32BufSize;  // bytes per stream buffer (grown by the encoder if a packet needs more)
  RK_U32 u32Profile;  // 66 baseline, 77 main, 100 high
  RK_BOOL bByFrame;
  RK_U32 u32PicWidth;  // even, 16..4096, not above the maximum
  RK_U32 u32PicHeight;
  RK_U32 u32VirWidth;   // line stride of the input frames in pixels, >= picture width
  RK_U32 u32VirHeight;  // rows of luma before the chroma plane, >= picture height
  RK_U32
  u32StreamBufCnt;  // encoded packets queued or taken before RK_MPI_VENC_SendFrame waits; 0 = 3
  VENC_ATTR_H264_S stAttrH264;
} VENC_ATTR_S;

typedef enum : RK_S32 {
  VENC_RC_MODE_H264CBR = 1,
  VENC_RC_MODE_H264VBR = 2,
} VENC_RC_MODE_E;

typedef struct {
  RK_U32 u32Gop;  // frames from one IDR frame to the next
  RK_U32 u32SrcFrameRateNum;
  RK_U32 u32SrcFrameRateDen;
  RK_U32 fr32DstFrameRateNum;
  RK_U32 fr32DstFrameRateDen;
  RK_U32 u32BitRate;  // kbit/s
  RK_U32 u32StatTime;
} VENC_H264_CBR_S;

typedef struct {
  RK_U32 u32Gop;
  RK_U32 u32SrcFrameRateNum;
  RK_U32 u32SrcFrameRateDen;
  RK_U32 fr32DstFrameRateNum;
  RK_U32 fr32DstFrameRateDen;
  RK_U32 u32BitRate;     // kbit/s, average
  RK_U32 u32MaxBitRate;  // kbit/s
  RK_U32 u32MinBitRate;
  RK_U32 u32StatTime;
} VENC_H264_VBR_S;

typedef struct {
  VENC_RC_MODE_E enRcMode;
  union {
    VENC_H264_CBR_S stH264Cbr;
    VENC_H264_VBR_S stH264Vbr;
  };
} VENC_RC_ATTR_S;

typedef struct {
  RK_U32 enGopMode;  // 0: normal IP
  RK_S32 s32VirIdrLen;
  RK_U32 u32MaxLtrCount;
  RK_U32 u32TsvcPreload;
} VENC_GOP_ATTR_S;

typedef struct {
  VENC_ATTR_S stVencAttr;
  VENC_RC_ATTR_S stRcAttr;
  VENC_GOP_ATTR_S stGopAttr;
} VENC_CHN_ATTR_S;

typedef struct {
  RK_S32 s32RecvPicNum;  // -1: without limit; n > 0: the channel stops after n frames
} VENC_RECV_PIC_PARAM_S;

// One input frame. pMbBlk holds the NV12 picture: u32VirWidth x u32VirHeight
// luma bytes, then the interleaved chroma of u32VirWidth x u32VirHeight / 2.
typedef struct {
  MB_BLK pMbBlk;
  RK_U32 u32Width;  // must equal the channel's picture size
  RK_U32 u32Height;
  RK_U32 u32VirWidth;
  RK_U32 u32VirHeight;
  VIDEO_FIELD_E enField;
  PIXEL_FORMAT_E enPixelFormat;
  VIDEO_FORMAT_E enVideoFormat;
  COMPRESS_MODE_E enCompressMode;
  RK_VOID* pVirAddr[3];  // not used; the block is read through pMbBlk
  RK_U32 u32TimeRef;
  RK_U64 u64PTS;  // microseconds; copied into the frame's packet
  RK_U64 u64PrivateData;
  RK_U32 u32FrameFlag;
} VIDEO_FRAME_S;

typedef struct {
  VIDEO_FRAME_S stVFrame;
} VIDEO_FRAME_INFO_S;

typedef enum : RK_S32 {
  H264E_NALU_PSLICE = 1,
  H264E_NALU_ISLICE = 2,
  H264E_NALU_IDRSLICE = 5,
} H264E_NALU_TYPE_E;

typedef union {
  H264E_NALU_TYPE_E enH264EType;
} VENC_DATA_TYPE_U;

// One encoded packet: a whole access unit in Annex-B form (start codes). An
// IDR packet begins with 00 00 00 01 67, the sequence parameter set, then the
// picture parameter set.
typedef struct {
  MB_BLK pMbBlk;  // the bytes: RK_MPI_MB_Handle2VirAddr(pMbBlk) + u32Offset
  RK_U32 u32Len;
  RK_U64 u64PTS;  // the frame's u64PTS
  RK_BOOL bFrameEnd;
  RK_BOOL bStreamEnd;
  VENC_DATA_TYPE_U DataType;
  RK_U32 u32Offset;
} VENC_PACK_S;

// The caller provides pstPack (room for one packet); u32PackCount is set to 1.
typedef struct {
  VENC_PACK_S* pstPack;
  RK_U32 u32PackCount;
  RK_U32 u32Seq;  // packets handed out by the channel so far, from 0
} VENC_STREAM_S;

// What the stream's sequence parameter set says about its pictures (the
// H.264 VUI). Only the video signal part is used: range and matrix, without
// which players guess limited-range colours.
typedef struct {
  RK_U8 aspect_ratio_info_present_flag;
  RK_U8 aspect_ratio_idc;
  RK_U8 overscan_info_present_flag;
  RK_U8 overscan_appropriate_flag;
  RK_U16 sar_width;
  RK_U16 sar_height;
} VENC_VUI_ASPECT_RATIO_S;

typedef struct {
  RK_U8 timing_info_present_flag;
  RK_U8 fixed_frame_rate_flag;
  RK_U32 num_units_in_tick;
  RK_U32 time_scale;
} VENC_VUI_H264_TIME_INFO_S;

typedef struct {
  RK_U8 video_signal_type_present_flag;
  RK_U8 video_format;           // 0..7; 5 unspecified
  RK_U8 video_full_range_flag;  // 1: samples span 0..255
  RK_U8 colour_description_present_flag;
  RK_U8 colour_primaries;  // ISO/IEC 23001-8 codes: 2 unspecified
  RK_U8 transfer_characteristics;
  RK_U8 matrix_coefficients;  // 6: BT.601 (SMPTE 170M)
} VENC_VUI_VIDEO_SIGNAL_S;

typedef struct {
  RK_U8 bitstream_restriction_flag;
} VENC_VUI_BITSTREAM_RESTRIC_S;

typedef struct {
  VENC_VUI_ASPECT_RATIO_S stVuiAspectRatio;
  VENC_VUI_H264_TIME_INFO_S stVuiTimeInfo;
  VENC_VUI_VIDEO_SIGNAL_S stVuiVideoSignal;
  VENC_VUI_BITSTREAM_RESTRIC_S stVuiBitstreamRestric;
} VENC_H264_VUI_S;

typedef struct {
  RK_U32 u32LeftPics;          // frames accepted and not yet encoded
  RK_U32 u32LeftStreamFrames;  // packets ready and not yet taken
  RK_U32 u32CurPacks;          // packets taken and not yet released
  RK_U32 u32LeftRecvPics;      // frames still to be received; 0 when unlimited
} VENC_CHN_STATUS_S;

extern "C" {

// Creates the channel and its encoder. Only H.264 from NV12 is supported.
RK_S32 RK_MPI_VENC_CreateChn(VENC_CHN VeChn, const VENC_CHN_ATTR_S* pstAttr);
// Stops the channel, drops frames not yet encoded (their blocks are released)
// and wakes every caller waiting on it with an error. A packet still taken
// stays readable until it is released.
RK_S32 RK_MPI_VENC_DestroyChn(VENC_CHN VeChn);
RK_S32 RK_MPI_VENC_GetChnAttr(VENC_CHN VeChn, VENC_CHN_ATTR_S* pstAttr);
RK_S32 RK_MPI_VENC_StartRecvFrame(VENC_CHN VeChn, const VENC_RECV_PIC_PARAM_S* pstRecvParam);
// Refuses further frames; frames not yet encoded are dropped. Packets already
// made can still be taken.
RK_S32 RK_MPI_VENC_StopRecvFrame(VENC_CHN VeChn);
// Queues a frame for encoding. The channel takes its own reference on the
// block until the frame is encoded, so the caller may release the block as
// soon as this returns. Waits while the channel's stream buffers are all in
// use (packets queued, taken or still being made): s32MilliSec -1 waits
// without limit, 0 not at all, n > 0 up to n ms (RK_ERR_VENC_BUF_FULL then).
// RK_MPI_VENC_StopRecvFrame or RK_MPI_VENC_DestroyChn from another thread ends
// the wait with an error.
RK_S32 RK_MPI_VENC_SendFrame(VENC_CHN VeChn, const VIDEO_FRAME_INFO_S* pstFrame,
                             RK_S32 s32MilliSec);
// Takes the oldest encoded packet, waiting as RK_MPI_VENC_SendFrame does
// (RK_ERR_VENC_BUF_EMPTY when none came). The packet stays valid until
// RK_MPI_VENC_ReleaseStream.
RK_S32 RK_MPI_VENC_GetStream(VENC_CHN VeChn, VENC_STREAM_S* pstStream, RK_S32 s32MilliSec);
RK_S32 RK_MPI_VENC_ReleaseStream(VENC_CHN VeChn, VENC_STREAM_S* pstStream);
// The next frame encoded is an IDR frame (with the parameter sets in front).
RK_S32 RK_MPI_VENC_RequestIDR(VENC_CHN VeChn, RK_BOOL bInstant);
RK_S32 RK_MPI_VENC_QueryStatus(VENC_CHN VeChn, VENC_CHN_STATUS_S* pstStatus);
// The channel's VUI; a new channel's has nothing present (the encoder's own
// defaults). Setting it is refused (RK_ERR_VENC_NOT_PERM) while the channel
// receives frames: set it between RK_MPI_VENC_CreateChn and
// RK_MPI_VENC_StartRecvFrame.
RK_S32 RK_MPI_VENC_GetH264Vui(VENC_CHN VeChn, VENC_H264_VUI_S* pstH264Vui);
RK_S32 RK_MPI_VENC_SetH264Vui(VENC_CHN VeChn, const VENC_H264_VUI_S* pstH264Vui);

}  // extern "C"

// ---------------------------------------------------------------------------
// Regions

typedef RK_S32 RGN_HANDLE;
#define RGN_HANDLE_MAX 16

typedef enum : RK_S32 { OVERLAY_RGN = 0 } RGN_TYPE_E;

typedef struct {
  PIXEL_FORMAT_E enPixelFmt;  // RK_FMT_RGBA8888
  RK_U32 u32BgColor;
  SIZE_S stSize;  // largest bitmap the region takes, 2..4096 each
  RK_U32 u32CanvasNum;
} OVERLAY_ATTR_S;

typedef struct {
  RGN_TYPE_E enType;
  union {
    OVERLAY_ATTR_S stOverlay;
  } unAttr;
} RGN_ATTR_S;

typedef struct {
  RK_BOOL bAbsQp;
  RK_S32 s32Qp;
  RK_BOOL bEnable;
} OVERLAY_QP_INFO_S;

typedef struct {
  POINT_S stPoint;    // top-left corner of the bitmap in the frame
  RK_U32 u32FgAlpha;  // not used for RGBA bitmaps: each pixel carries its alpha
  RK_U32 u32BgAlpha;
  RK_U32 u32Layer;  // regions of higher layers are blended later (on top)
  OVERLAY_QP_INFO_S stQpInfo;
} OVERLAY_CHN_ATTR_S;

typedef struct {
  RK_BOOL bShow;
  RGN_TYPE_E enType;
  union {
    OVERLAY_CHN_ATTR_S stOverlayChn;
  } unChnAttr;
} RGN_CHN_ATTR_S;

typedef struct {
  PIXEL_FORMAT_E enPixelFormat;  // RK_FMT_RGBA8888
  RK_U32 u32Width;               // at most the region's size
  RK_U32 u32Height;
  RK_VOID* pData;  // rows of u32Width x 4 bytes, packed
} BITMAP_S;

extern "C" {

// Handles 0..RGN_HANDLE_MAX-1; only overlay regions of RGBA8888.
RK_S32 RK_MPI_RGN_Create(RGN_HANDLE Handle, const RGN_ATTR_S* pstRegion);
// Detaches it from its channel first.
RK_S32 RK_MPI_RGN_Destroy(RGN_HANDLE Handle);
// Attaches to an encoder channel by number; the channel need not exist yet
// (a region survives the channel's destruction and re-creation). A region is
// attached to one channel at a time.
RK_S32 RK_MPI_RGN_AttachToChn(RGN_HANDLE Handle, const MPP_CHN_S* pstChn,
                              const RGN_CHN_ATTR_S* pstChnAttr);
RK_S32 RK_MPI_RGN_DetachFromChn(RGN_HANDLE Handle, const MPP_CHN_S* pstChn);
// Copies the bitmap (the caller's buffer may go at once). From the next frame
// encoded on, it is alpha-blended into every frame of the channel while the
// region is attached and shown; clipped at the frame's edges.
RK_S32 RK_MPI_RGN_SetBitMap(RGN_HANDLE Handle, const BITMAP_S* pstBitmap);

}  // extern "C"
