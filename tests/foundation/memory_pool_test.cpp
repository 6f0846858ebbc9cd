#include <gtest/gtest.h>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "platform/plat_text.h"
#include "platform/plat_window.h"
#include "tests/support/test_support.h"

namespace {

class HeapTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        oldDir_ = std::filesystem::current_path();
        std::filesystem::current_path(testsupport::MakeTempDir("heap"));
        LOG_Init();
        MEMORY_Init();
        POOL_Init();
    }
    void TearDown() override
    {
        POOL_Done();
        std::filesystem::current_path(oldDir_);
    }

    // Leak lines written by a report made now (cached pool blocks included).
    std::vector<std::string> LeakLines()
    {
        LOG_Init();
        ::testing::internal::CaptureStderr();
        MEMORY_ReportLeaks();
        stderr_ = ::testing::internal::GetCapturedStderr();
        std::vector<std::string> lines;
        std::istringstream file(testsupport::ReadFile("Zendrix.log"));
        for (std::string line; std::getline(file, line);)
            lines.push_back(line);
        return lines;
    }
    // Gives the cached blocks back and expects nothing left on the heap.
    void ExpectNothingLeft()
    {
        POOL_Done();
        EXPECT_TRUE(LeakLines().empty());
    }

    std::filesystem::path oldDir_;
    std::string stderr_;
};

TEST_F(HeapTest, SizeClassesShareBlocksWithinTheirClass)
{
    void* a = POOL_Alloc(31);
    POOL_Free(a);
    EXPECT_EQ(POOL_Alloc(0), a);            // 0 and 31: the 32-byte pool
    void* b = POOL_Alloc(32);
    POOL_Free(b);
    void* c = POOL_Alloc(31);
    EXPECT_NE(c, b);                        // 32 is the 64-byte pool
    EXPECT_EQ(POOL_Alloc(63), b);
    void* d = POOL_Alloc(255);
    POOL_Free(d);
    EXPECT_EQ(POOL_Alloc(224), d);          // 224..255: the 256-byte pool
    for (void* p : {a, b, c, d})
        POOL_Free(p);
}

TEST_F(HeapTest, LargeBlocksGoBackToTheHeapAndSmallOnesAreCached)
{
    MEMORY_SetTag("TEST:large");
    POOL_Free(POOL_Alloc(256));
    MEMORY_SetTag("TEST:small");
    POOL_Free(POOL_Alloc(255));
    auto lines = LeakLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("(TEST:small)"), std::string::npos);
    ExpectNothingLeft();
    EXPECT_EQ(stderr_, "");
}

TEST_F(HeapTest, RecycledBlockTakesTheNewTagCutToItsRoom)
{
    MEMORY_SetTag("A:x");
    void* p = POOL_Alloc(10);
    POOL_Free(p);
    MEMORY_SetTag("B:a-much-longer-tag");
    void* q = POOL_Alloc(10);
    ASSERT_EQ(q, p);
    auto lines = LeakLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("(B:a-much-long) "), std::string::npos) << lines[0];
    // The tag applies to one allocation only.
    void* r = POOL_Alloc(10);
    lines = LeakLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[1].find("(\?\?\?)"), std::string::npos);
    POOL_Free(q);
    POOL_Free(r);
}

TEST_F(HeapTest, LeakReportShowsBoxThenOneLinePerBlock)
{
    MEMORY_SetTag("TEST:leak");
    char* p = static_cast<char*>(POOL_Alloc(300));
    strcpy(p, "Hello\x01");
    auto lines = LeakLines();
    EXPECT_NE(stderr_.find(PLAT_Cp1250ToUtf8("Byly nalezeny neuvolněné paměťové bloky.")), std::string::npos) << stderr_;
    ASSERT_EQ(lines.size(), 1u);
    const std::string& line = lines[0];
    EXPECT_EQ(line.rfind("MEMORY: Nezruseny blok (TEST:leak) ", 0), 0u) << line;
    EXPECT_NE(line.find(": len=319  >"), std::string::npos) << line;
    EXPECT_NE(line.find("Hello.") , std::string::npos) << line;
    EXPECT_EQ(line.back(), '<');
    POOL_Free(p);
    ExpectNothingLeft();
}

// Starting the program a second time in one process keeps the live blocks
// tracked and gives the cached ones back, so a later report is exact.
TEST_F(HeapTest, SecondStartKeepsLiveBlocksAndReturnsCachedOnes)
{
    MEMORY_SetTag("TEST:live");
    void* live = POOL_Alloc(40);
    POOL_Free(POOL_Alloc(40));
    MEMORY_Init();
    POOL_Init();
    auto lines = LeakLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("MEMORY: Nezruseny blok (TEST:live) ", 0), 0u) << lines[0];
    POOL_Free(live);
    ExpectNothingLeft();
}

TEST_F(HeapTest, The8001stCachedBlockGoesBackToTheHeap)
{
    std::vector<void*> blocks;
    for (int i = 0; i < 8001; ++i)
        blocks.push_back(POOL_Alloc(40));
    for (void* b : blocks)
        POOL_Free(b);
    EXPECT_EQ(LeakLines().size(), 8000u);
    ExpectNothingLeft();
}

// Blocks are aligned for any type; line blocks start on a line and free their whole block.
TEST_F(HeapTest, BlocksAndLineBlocksAreAligned)
{
    for (uint32_t size : {0u, 1u, 17u, 63u, 64u, 100u, 200u, 255u, 256u, 1000u}) {
        void* p = POOL_Alloc(size);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 16, 0u) << size;
        POOL_Free(p);
        MEMORY_SetTag("TEST:line");
        auto* q = static_cast<uint8_t*>(POOL_AllocLine(size));
        ASSERT_NE(q, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(q) % POOL_LINE, 0u) << size;
        memset(q, 0xA5, size);
        POOL_FreeLine(q);
    }
    POOL_FreeLine(nullptr);
    ExpectNothingLeft();
}

TEST_F(HeapTest, FreeOfNullAndReallocToSmaller)
{
    POOL_Free(nullptr);   // nothing happens
    char* p = static_cast<char*>(POOL_Alloc(300));
    memset(p, 'a', 300);
    char* q = static_cast<char*>(POOL_Realloc(p, 300, 10));
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(std::string(q, 10), std::string(10, 'a'));
    char* r = static_cast<char*>(POOL_Realloc(q, 10, 500));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(std::string(r, 10), std::string(10, 'a'));
    POOL_Free(r);
    ExpectNothingLeft();
}

TEST_F(HeapTest, FreeingNullOrUnknownBlocksFreesNothing)
{
    ::testing::internal::CaptureStderr();
    MEMORY_FreeBlock(nullptr);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(PLAT_Cp1250ToUtf8("Byl zaznamenán pokus o uvolnění NULL pointeru.")), std::string::npos) << err;
    static char notABlock[128];
    MEMORY_FreeBlock(notABlock + 64);
    EXPECT_NE(testsupport::ReadFile("Zendrix.log").find("MEMORY: uvolnuje se neznamy blok "), std::string::npos);
}

TEST_F(HeapTest, FreeingHelpersReleaseEveryBlockOfTheirLayout)
{
    auto* object = static_cast<void**>(POOL_Alloc(2 * sizeof(void*) + 1));
    object[0] = nullptr;
    object[1] = POOL_Alloc(300);
    POOL_FreeWithBuffer(object);
    auto* pairs = static_cast<POOL_PAIR_TABLE*>(POOL_Alloc(sizeof(POOL_PAIR_TABLE) + 1));
    pairs->count = 2;
    pairs->entries = static_cast<POOL_PAIR_ENTRY*>(POOL_Alloc(2 * sizeof(POOL_PAIR_ENTRY) + 1));
    pairs->entries[0] = {nullptr, POOL_Alloc(400)};
    pairs->entries[1] = {nullptr, nullptr};
    POOL_FreePairTable(pairs);
    auto* records = static_cast<POOL_RECORD_TABLE*>(POOL_Alloc(sizeof(POOL_RECORD_TABLE) + 1));
    records->count = 1;
    records->entries = static_cast<POOL_RECORD_ENTRY*>(POOL_Alloc(sizeof(POOL_RECORD_ENTRY) + 1));
    records->entries[0] = {nullptr, nullptr, POOL_Alloc(500)};
    POOL_FreeRecordTable(records);
    ExpectNothingLeft();
}

TEST_F(HeapTest, DebugCreateWindowLogsEveryArgumentAndTheHandle)
{
    HWND window = MEMORY_DebugCreateWindowEx(0x10, "listbox", "t", 0x40000000, 1, 2, 30, 40, 0, 7, nullptr, nullptr);
    ASSERT_NE(window, 0u);
    std::string log = testsupport::ReadFile("Zendrix.log");
    EXPECT_EQ(log.rfind(">>>> CREATEWINDOWEX <<<<\n   dwexstyle:  00000010\n   classname:  listbox\n"
                        "   windowname: t\n   dwstyle:    40000000\n   x:          1\n   y:          2\n"
                        "   width:      30\n   heigth:     40\n   parent:     0\n   menu:       00000007\n"
                        "   instance:   00000000\n   lpParam:    00000000\n-> result:     ", 0), 0u) << log;
    PLAT_DestroyWindow(window);
}

TEST_F(HeapTest, PoolSlotsRunOut)
{
    for (int i = 8; i < 32; ++i)
        EXPECT_EQ(POOL_Create(16, 4), i);
    EXPECT_EQ(POOL_Create(16, 4), -1);
    void* p = POOL_AllocFromPool(8);
    ASSERT_NE(p, nullptr);
    POOL_Free(p);
    POOL_Destroy(8);
    EXPECT_EQ(POOL_Create(16, 4), 8);
}

}
