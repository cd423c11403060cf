#include <gtest/gtest.h>
TEST(Sandbox, Placeholder) {}
