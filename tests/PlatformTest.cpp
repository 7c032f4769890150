#include <gtest/gtest.h>

#include "Platform.h"

namespace {

TEST(Platform, HeaderBytesInTheSystemsCodePage) {
#ifdef _WIN32
    EXPECT_EQ(WideFromNarrow("\xB2\xE2\xCA\xD4 ok"),
              L"测试 ok");  // the tests run under code page 936
#else
    EXPECT_EQ(WideFromNarrow("\xE6\xB5\x8B\xE8\xAF\x95 ok\xB2"), L"测试 ok\uFFFD");
#endif
}

}  // namespace
