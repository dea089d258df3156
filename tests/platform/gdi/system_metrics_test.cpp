#include "platform/gdi/system_metrics.h"

#include <gtest/gtest.h>

#include "platform/base/errors.h"
#include "platform/win/window.h"

namespace {

TEST(SystemMetricsTest, ScreenAndNonClientMetricsAreFixed) {
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), platform::win::kScreenWidth);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), platform::win::kScreenHeight);
  EXPECT_EQ(GetSystemMetrics(9999), 0);
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
  EXPECT_EQ(metrics.iMenuHeight, GetSystemMetrics(SM_CYMENU));
  EXPECT_EQ(metrics.iBorderWidth, GetSystemMetrics(SM_CXBORDER));
  EXPECT_EQ(std::u16string(metrics.lfMenuFont.lfFaceName), u"Tahoma");
}

TEST(SystemMetricsTest, AWrongSizeOrAnUnknownRequestFails) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics - 4;
  metrics.iMenuHeight = -5;
  SetLastError(0);
  EXPECT_FALSE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, 0, &metrics, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(metrics.iMenuHeight, -5);  // nothing written past what the caller has
  metrics.cbSize = sizeof metrics;
  EXPECT_FALSE(SystemParametersInfoW(0x0001, 0, &metrics, 0));  // the beep setting: not kept
  EXPECT_FALSE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, 0, nullptr, 0));
}

TEST(SystemMetricsTest, WorkAreaWheelLinesAndFullDraggingAreAnswered) {
  RECT area{};
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0));
  EXPECT_EQ(area.right, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(area.bottom, GetSystemMetrics(SM_CYSCREEN));
  UINT lines = 0;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0));
  EXPECT_EQ(lines, 3u);
  BOOL full = FALSE;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETDRAGFULLWINDOWS, 0, &full, 0));
  EXPECT_TRUE(full);
  EXPECT_FALSE(SystemParametersInfoW(SPI_GETWORKAREA, 0, nullptr, 0));
}

}  // namespace
