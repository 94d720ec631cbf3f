#include <gtest/gtest.h>

#include "pipeline/zbuffer.h"

TEST(ZBufferTest, placeholder) { EXPECT_EQ(ZBuffer::toDepth(0.0f), 0u); }
