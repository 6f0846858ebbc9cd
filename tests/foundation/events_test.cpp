#include <gtest/gtest.h>
#include <vector>
#include "foundation/events.h"
#include "tests/support/test_support.h"

using testsupport::MsOf;

namespace {

struct Fired {
    uint32_t reason;
    uint32_t tag;
};
std::vector<Fired> g_log;
EVENT g_followUp{};

void Record(uint32_t reason, EVENT* e)
{
    g_log.push_back({reason, e->userData[0]});
}

void CancelSelf(uint32_t reason, EVENT* e)
{
    Record(reason, e);
    if (reason == EVENT_REASON_FIRE) {
        EVENTS_Cancel(EVENTS_GetHandle(e));
        EVENTS_Cancel(EVENTS_GetHandle(e));
    }
}

void ScheduleFollowUp(uint32_t reason, EVENT* e)
{
    Record(reason, e);
    if (reason == EVENT_REASON_FIRE) EVENTS_Schedule(&g_followUp);
}

EVENT_HANDLE Schedule(TIME_MS due, uint32_t tag, EVENT_CALLBACK cb = Record, uint32_t word = 0)
{
    EVENT e;
    EVENTS_ClearEvent(&e);
    e.dueTime = due;
    e.callback = cb;
    e.word = word;
    e.userData[0] = static_cast<uint8_t>(tag);
    return EVENTS_Schedule(&e);
}

// Moves the clock past everything and fires the whole queue in order.
void FireAll()
{
    for (int guard = 0; guard < 1000 && EVENTS_Count() > 0; guard++) {
        g_simClock.clock = INT64_MAX;
        uint32_t word = 0;
        ASSERT_EQ(EVENTS_ClampClockToNext(&word), 1u);
        EVENTS_FireNext();
    }
}

std::vector<uint32_t> FiredTags()
{
    std::vector<uint32_t> tags;
    for (const Fired& f : g_log)
        if (f.reason == EVENT_REASON_FIRE) tags.push_back(f.tag);
    return tags;
}

class EventsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EVENTS_Init();
        EVENTS_StartRun();
        g_log.clear();
        g_simClock = SIM_CLOCK{};
    }
    void TearDown() override { EVENTS_Done(); }
};

TEST_F(EventsTest, FiresInTimeOrderAcrossCalendarLevelsNewestFirstWithinOneMillisecond)
{
    TIME_MS lastOfYear = MsOf(2006, 12, 31, 23, 59, 59, 999);
    Schedule(MsOf(2007, 1, 1, 0, 0, 0, 0), 5);
    Schedule(lastOfYear, 4);
    Schedule(MsOf(2006, 3, 1, 10, 0, 0, 0), 3);
    Schedule(MsOf(2006, 3, 1, 9, 59, 59, 500), 1);
    Schedule(MsOf(2006, 3, 1, 9, 59, 59, 500), 2);
    Schedule(MsOf(2006, 3, 1, 9, 59, 59, 400), 0);
    FireAll();
    EXPECT_EQ(FiredTags(), (std::vector<uint32_t>{0, 2, 1, 3, 4, 5}));
    // Every fired copy was also released exactly once.
    EXPECT_EQ(g_log.size(), 12u);
    EXPECT_EQ(EVENTS_Count(), 0u);
}

TEST_F(EventsTest, ClampPullsClockBackOnlyWhenClockIsPastTheEvent)
{
    TIME_MS due = MsOf(2006, 1, 1, 0, 0, 1, 5);
    Schedule(due, 1, Record, 7);
    uint32_t word = 99;
    g_simClock.clock = due;
    EXPECT_EQ(EVENTS_ClampClockToNext(&word), 0u);
    EXPECT_EQ(word, 0u);
    g_simClock.clock = due + 10;
    EXPECT_EQ(EVENTS_ClampClockToNext(&word), 1u);
    EXPECT_EQ(g_simClock.clock, due);
    EXPECT_EQ(word, 7u);
}

TEST_F(EventsTest, RefusesEventsBeforeTheLastFiredTimeUntilTheNextRun)
{
    TIME_MS t = MsOf(2006, 1, 1, 12, 0, 0, 0);
    Schedule(t, 1);
    FireAll();
    EXPECT_NE(Schedule(t, 2), EVENT_HANDLE_NONE);
    EXPECT_EQ(Schedule(t - 1, 3), EVENT_HANDLE_NONE);
    // A later pass starts again from the run start.
    EVENTS_EndRun();
    EVENTS_StartRun();
    EXPECT_NE(Schedule(t - 3600000, 4), EVENT_HANDLE_NONE);
}

TEST_F(EventsTest, RunEndReleasesEveryQueuedEvent)
{
    Schedule(MsOf(2006, 1, 1, 0, 0, 0, 0), 1);
    Schedule(MsOf(2006, 5, 1, 0, 0, 0, 0), 2);
    EVENTS_EndRun();
    EXPECT_EQ(EVENTS_Count(), 0u);
    ASSERT_EQ(g_log.size(), 2u);
    EXPECT_EQ(g_log[0].reason, EVENT_REASON_RELEASE);
    EXPECT_EQ(g_log[1].reason, EVENT_REASON_RELEASE);
    uint32_t word;
    EXPECT_EQ(EVENTS_ClampClockToNext(&word), 0u);
}

TEST_F(EventsTest, CancelRemovesOnlyTheEmptiedNodesAndStaleHandlesAreHarmless)
{
    TIME_MS base = MsOf(2006, 6, 15, 12, 30, 20, 0);
    EVENT_HANDLE sameSecond = Schedule(base + 1, 1);
    Schedule(base + 2, 2);
    EVENT_HANDLE otherYear = Schedule(MsOf(2008, 1, 1, 0, 0, 0, 0), 3);
    EVENT_HANDLE otherMinute = Schedule(base + 60000, 4);

    EVENTS_Cancel(sameSecond);
    EVENTS_Cancel(otherYear);
    EVENTS_Cancel(otherMinute);
    EXPECT_EQ(EVENTS_Count(), 1u);
    // Cancelling again through the same handles, or through nonsense, changes nothing.
    EVENTS_Cancel(sameSecond);
    EVENTS_Cancel(otherYear);
    EVENTS_Cancel(123456789);
    EVENTS_Cancel(0);
    EVENTS_Cancel(EVENT_HANDLE_NONE);
    EXPECT_EQ(EVENTS_Count(), 1u);

    g_log.clear();
    FireAll();
    EXPECT_EQ(FiredTags(), (std::vector<uint32_t>{2}));
    // The new year's handle after its year node was freed names a new event.
    EVENT_HANDLE again = Schedule(MsOf(2008, 1, 1, 0, 0, 0, 0), 5);
    EXPECT_NE(again, otherYear);
    EVENTS_Cancel(otherYear);
    EXPECT_EQ(EVENTS_Count(), 1u);
}

TEST_F(EventsTest, EventMayCancelItselfWhileItFires)
{
    Schedule(MsOf(2006, 1, 1, 0, 0, 0, 10), 1, CancelSelf);
    Schedule(MsOf(2006, 1, 1, 0, 0, 0, 20), 2);
    FireAll();
    EXPECT_EQ(FiredTags(), (std::vector<uint32_t>{1, 2}));
    EXPECT_EQ(g_log.size(), 4u);
}

TEST_F(EventsTest, EventScheduledByItsCallbackForTheSameMillisecondFiresNext)
{
    TIME_MS t = MsOf(2006, 1, 1, 0, 0, 0, 10);
    EVENTS_ClearEvent(&g_followUp);
    g_followUp.dueTime = t;
    g_followUp.callback = Record;
    g_followUp.userData[0] = 9;
    Schedule(t, 1, ScheduleFollowUp);
    g_simClock.clock = t + 1;
    uint32_t word;
    ASSERT_EQ(EVENTS_ClampClockToNext(&word), 1u);
    EVENTS_FireNext();
    EXPECT_EQ(EVENTS_Count(), 1u);
    FireAll();
    EXPECT_EQ(FiredTags(), (std::vector<uint32_t>{1, 9}));
}

}  // namespace
