#pragma once
// The NPU runtime's interface, as the program calls it. On the board the
// vendor runtime (librknnrt) sits behind these names; everywhere else this
// software runtime executes the same kind of network on the processor.
//
// The software runtime reads models in its own format (see hlnm_format.h),
// not the vendor's compiled models: magic "HLNM", a size and checksum, the
// input and output tensors with their quantisation, and a list of layers
// (convolution, tanh, depth-to-space, clip). Every call is safe on a handle
// that rknn_init refused or that was never made: it fails with an error code.
#include <cstdint>

typedef uint64_t rknn_context;

#define RKNN_SUCC 0
#define RKNN_ERR_FAIL -1
#define RKNN_ERR_TIMEOUT -2
#define RKNN_ERR_DEVICE_UNAVAILABLE -3
#define RKNN_ERR_MALLOC_FAIL -4
#define RKNN_ERR_PARAM_INVALID -5
#define RKNN_ERR_MODEL_INVALID -6
#define RKNN_ERR_CTX_INVALID -7
#define RKNN_ERR_INPUT_INVALID -8
#define RKNN_ERR_OUTPUT_INVALID -9

#define RKNN_MAX_DIMS 16
#define RKNN_MAX_NAME_LEN 256

// Memory allocation flags of rknn_create_mem2.
#define RKNN_FLAG_MEMORY_FLAGS_DEFAULT 0
#define RKNN_FLAG_MEMORY_CACHEABLE 1
#define RKNN_FLAG_MEMORY_NON_CACHEABLE 2

typedef enum _rknn_query_cmd {
  RKNN_QUERY_IN_OUT_NUM = 0,
  RKNN_QUERY_INPUT_ATTR = 1,
  RKNN_QUERY_OUTPUT_ATTR = 2,
  RKNN_QUERY_PERF_DETAIL = 3,
  RKNN_QUERY_PERF_RUN = 4,
  RKNN_QUERY_SDK_VERSION = 5,
  RKNN_QUERY_MEM_SIZE = 6,
  RKNN_QUERY_CUSTOM_STRING = 7,
  RKNN_QUERY_NATIVE_INPUT_ATTR = 8,
  RKNN_QUERY_NATIVE_OUTPUT_ATTR = 9,
} rknn_query_cmd;

typedef enum _rknn_tensor_type {
  RKNN_TENSOR_FLOAT32 = 0,
  RKNN_TENSOR_FLOAT16 = 1,
  RKNN_TENSOR_INT8 = 2,
  RKNN_TENSOR_UINT8 = 3,
  RKNN_TENSOR_INT16 = 4,
  RKNN_TENSOR_UINT16 = 5,
  RKNN_TENSOR_INT32 = 6,
  RKNN_TENSOR_UINT32 = 7,
  RKNN_TENSOR_INT64 = 8,
  RKNN_TENSOR_BOOL = 9,
  RKNN_TENSOR_INT4 = 10,
  RKNN_TENSOR_BFLOAT16 = 11,
  RKNN_TENSOR_TYPE_MAX
} rknn_tensor_type;

typedef enum _rknn_tensor_qnt_type {
  RKNN_TENSOR_QNT_NONE = 0,
  RKNN_TENSOR_QNT_DFP = 1,
  RKNN_TENSOR_QNT_AFFINE_ASYMMETRIC = 2,
} rknn_tensor_qnt_type;

typedef enum _rknn_tensor_format {
  RKNN_TENSOR_NCHW = 0,
  RKNN_TENSOR_NHWC = 1,
  RKNN_TENSOR_NC1HWC2 = 2,
  RKNN_TENSOR_UNDEFINED = 3,
} rknn_tensor_format;

typedef enum _rknn_mem_sync_mode {
  RKNN_MEMORY_SYNC_TO_DEVICE = 0x1,
  RKNN_MEMORY_SYNC_FROM_DEVICE = 0x2,
  RKNN_MEMORY_SYNC_BIDIRECTIONAL = 0x3,
} rknn_mem_sync_mode;

typedef struct _rknn_input_output_num {
  uint32_t n_input;
  uint32_t n_output;
} rknn_input_output_num;

typedef struct _rknn_tensor_attr {
  uint32_t index;
  uint32_t n_dims;
  uint32_t dims[RKNN_MAX_DIMS];
  char name[RKNN_MAX_NAME_LEN];
  uint32_t n_elems;
  uint32_t size;
  rknn_tensor_format fmt;
  rknn_tensor_type type;
  rknn_tensor_qnt_type qnt_type;
  int8_t fl;
  int32_t zp;
  float scale;
  uint32_t w_stride;
  uint32_t size_with_stride;
  uint8_t pass_through;
  uint32_t h_stride;
} rknn_tensor_attr;

typedef struct _rknn_perf_run {
  int64_t run_duration;  // microseconds
} rknn_perf_run;

typedef struct _rknn_tensor_mem {
  void* virt_addr;
  uint64_t phys_addr;
  int32_t fd;
  int32_t offset;
  uint32_t size;
  uint32_t flags;
  void* priv_data;
} rknn_tensor_mem;

typedef struct _rknn_output {
  uint8_t want_float;
  uint8_t is_prealloc;
  uint32_t index;
  void* buf;
  uint32_t size;
} rknn_output;

typedef struct _rknn_init_extend {
  rknn_context ctx;
  int32_t real_model_offset;
  uint32_t real_model_size;
  uint8_t reserved[120];
} rknn_init_extend;

typedef struct _rknn_run_extend {
  uint64_t frame_id;
  int32_t non_block;
  int32_t timeout_ms;
  int32_t fence_fd;
} rknn_run_extend;

typedef struct _rknn_output_extend {
  uint64_t frame_id;
} rknn_output_extend;

// Loads a model from memory (copied; the caller's bytes may go away).
int rknn_init(rknn_context* context, void* model, uint32_t size, uint32_t flag,
              rknn_init_extend* extend);
int rknn_destroy(rknn_context context);
int rknn_query(rknn_context context, rknn_query_cmd cmd, void* info, uint32_t size);

rknn_tensor_mem* rknn_create_mem(rknn_context context, uint32_t size);
rknn_tensor_mem* rknn_create_mem2(rknn_context context, uint64_t size, uint64_t alloc_flags);
int rknn_destroy_mem(rknn_context context, rknn_tensor_mem* mem);
// Binds memory to an input (or output) named by attr->index; the network
// then reads its input there, in the attribute's layout and w_stride.
int rknn_set_io_mem(rknn_context context, rknn_tensor_mem* mem, rknn_tensor_attr* attr);
int rknn_mem_sync(rknn_context context, rknn_tensor_mem* mem, rknn_mem_sync_mode mode);

int rknn_run(rknn_context context, rknn_run_extend* extend);
// Output buffers that are not preallocated point into the runtime and stay
// valid until rknn_outputs_release or the next rknn_run.
int rknn_outputs_get(rknn_context context, uint32_t n_outputs, rknn_output outputs[],
                     rknn_output_extend* extend);
int rknn_outputs_release(rknn_context context, uint32_t n_outputs, rknn_output outputs[]);
