#include "platform/diag.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string linesOf(void (*write)()) {
  testing::internal::CaptureStderr();
  write();
  return testing::internal::GetCapturedStderr();
}

}  // namespace

// The rules choose per category, the last matching rule wins, and a broken
// rule is ignored rather than silencing or flooding everything.
TEST(DiagRules, FilterEachCategoryByItsLevel) {
  diag::setRules("*=error, camera=warning;recording=bogus,display=off\nnonsense");
  const std::string got = linesOf([] {
    diag::info(diag::kCamera, "camera info");
    diag::warning(diag::kCamera, "camera warning %d", 1);
    diag::warning(diag::kPower, "power warning");
    diag::error(diag::kPower, "power error");
    diag::error(diag::kDisplay, "display error");
    diag::warning(diag::kRecording, "recording warning");
    diag::error(diag::kRecording, "recording error");
  });
  EXPECT_EQ(got, "camera: camera warning 1\npower: power error\nrecording: recording error\n");

  // Without rules every category writes from Info up, as the device always has.
  diag::setRules("");
  EXPECT_EQ(linesOf([] {
              diag::debug(diag::kNpu, "hidden");
              diag::info(diag::kNpu, "shown");
            }),
            "npu: shown\n");
  diag::setRules("npu=debug");
  EXPECT_TRUE(diag::enabled(diag::kNpu, diag::Level::Debug));
  EXPECT_FALSE(diag::enabled(diag::kCamera, diag::Level::Debug));
  diag::setRules("");
}
