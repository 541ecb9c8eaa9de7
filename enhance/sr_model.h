#pragma once
// The super-resolution network held inside the program (trained and written
// by tools/srtrain/train.py), handed to the NPU runtime from memory.
#include <cstdint>

const unsigned char* sr_model_data();
uint32_t sr_model_size();
