#pragma once
// The thermal core's command channel: command frames to the core and the
// region temperature query, over the core's V4L2 sub-device. The channel is
// opened on first use and kept; a failed open is retried by the next call.
#include <cstddef>
#include <cstdint>

// Sends `length` (1..256) bytes to a register of the core. True when the
// driver accepted the request.
bool sendSensorCommand(uint16_t address, const uint8_t* bytes, size_t length);

// The four frames the core expects when capture starts; true when the driver
// took every one (the core answers nothing to act on).
bool sendCaptureConfiguration();
// The shutdown frame, sent before the power goes.
bool sendShutdown();

// Mean temperature in degrees Celsius of the rectangle (x0, y0)-(x1, y1) of the
// core's 252 x 192 grid. False (and *celsius untouched) on any failure.
bool queryRegionTemperature(uint16_t x0, uint16_t y0, uint16_t x1, uint16_t y1, float* celsius);

// The reticle's screen point to a rectangle of the thermal grid, through the
// crop the display shows at this zoom and resolution.
bool mapScreenToThermalRegion(int screenX, int screenY, bool srEnabled, int zoomTenths,
                              int halfSize, int* x0, int* y0, int* x1, int* y1);

// Builds the 18-byte region query frame (CRC filled in).
void buildRegionQuery(uint16_t x0, uint16_t y0, uint16_t x1, uint16_t y1, uint8_t frame[18]);

// Closes the channel (tests switch between simulated boards).
void resetSensorChannel();
