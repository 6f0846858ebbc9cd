#include <gtest/gtest.h>
#include "foundation/pool.h"

TEST(PoolSmoke, AllocatesAndFrees)
{
    void* p = POOL_Alloc(10);
    ASSERT_NE(p, nullptr);
    POOL_Free(p);
}
