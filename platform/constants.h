#pragma once
// Constants shared across the program.

namespace heatlume {
inline constexpr const char* kVersionText = "version:1.0.6";
inline constexpr const char* kDeviceName = "Varnix_V1.0.6";
inline constexpr const char* kCameraDevicePath = "/dev/video0";
inline constexpr const char* kSrModelPath = "/oem/rv1126b.rknn";
inline constexpr const char* kAppName = "Heatlume";
inline constexpr const char* kOrgName = "varnix";

inline constexpr int kWindowWidth = 360;
inline constexpr int kWindowHeight = 320;
}  // namespace heatlume
