#include "enhance/sr_model.h"

namespace {
#include "enhance/sr_model_data.inc"
}  // namespace

const unsigned char* sr_model_data() { return kSrModelBytes; }
uint32_t sr_model_size() { return sizeof kSrModelBytes; }
