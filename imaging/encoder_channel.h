#pragma once
// Encoder channel 0: H.264 High profile, constant 10240 kbit/s, GOP 50,
// 25 fps, from 360 x 320 NV12 frames. It lives as long as a capture run.

// Creates and starts the channel; false (after its message) on failure.
bool createEncoderChannel();
// Stops and destroys the channel, then waits until the encoder holds no
// more frame blocks. Failures are reported and teardown goes on.
void destroyEncoderChannel();
