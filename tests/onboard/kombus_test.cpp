// The on-board bus: the token ring and its delays, transmission times,
// delivery to the bus message entry of modules built with sdcc, power changes
// during transmissions, buffer exhaustion and the faults built soundly.
#include <gtest/gtest.h>
#include <algorithm>
#include <string>
#include <tuple>
#include <vector>
#include "onboard/kombus.h"
#include "onboard/sim51.h"
#include "onboard/swmodule.h"
#include "tests/onboard/module_harness.h"

namespace {

using moduletest::ModuleTest;

// Reports every received message through its outputs, bound to the bus
// message entry; "mode" (xram 0x300) selects what else the entry does.
const char* kNode = R"(
__xdata unsigned int heard;          /* output "Heard": messages so far << 8 | byte 2 of the last */
__xdata unsigned char can_send;      /* output "CanSend" */
__xdata __at(0x300) unsigned char mode;
__xdata __at(0x310) unsigned char seen[16];
__xdata __at(0x320) unsigned char seen_count;
void bus(void)
{
    m_message m = (m_message)m_kom_message;
    heard = (heard & 0xFF00) + 0x100 + m[2];
    seen[seen_count++ & 15] = m[2];
    if (mode == 1) can_send = KOM_PripravitVystupniZpravu();
    if (mode == 2) {
        KOM_UvolnitVstupniZpravu();
        if (KOM_TestVstupniZpravy()) {
            m = KOM_PripravitVstupniZpravu();
            seen[seen_count++ & 15] = m[2];
        }
    }
}
void tick(void)
{
    m_message m;
    if (mode != 3) return;
    mode = 0;
    if (!KOM_PripravitVystupniZpravu()) return;
    m = KOM_PointerVystupniZpravy();
    m[0] = 1;
    m[1] = 5;
    KOM_OdeslatVystupniZpravu();
    can_send = KOM_PripravitVystupniZpravu();
}
void main(void)
{
    M_RegisterEntry(M_ENTRY_BUS_MESSAGE, bus);
    M_RegisterEntry(M_ENTRY_10MS, tick);
    SetupOutput(M_CODE_NAME("Heard"), M_TYPE_WORD, &heard);
    BindOutput(M_CODE_NAME("Heard"), M_ENTRY_BUS_MESSAGE);
    SetupOutput(M_CODE_NAME("CanSend"), M_TYPE_BYTE, &can_send);
    BindOutput(M_CODE_NAME("CanSend"), M_ENTRY_BUS_MESSAGE);
    BindOutput(M_CODE_NAME("CanSend"), M_ENTRY_10MS);
}
)";

// A delivery: the receiving module, the time and the message's byte 2.
using Delivery = std::tuple<std::string, TIME_MS, int>;
std::vector<Delivery> g_deliveries;

void RecordDelivery(uint32_t phase, void* owner, uint32_t, SW_VALUE* value)
{
    if (phase != 2) return;
    g_deliveries.push_back({static_cast<SWMODULE*>(owner)->name, g_simClock.clock, SWTYPE_GetIntValue(value) & 0xFF});
}

class BusTest : public ModuleTest {
protected:
    void SetUp() override
    {
        ModuleTest::SetUp();
        if (!moduletest::SdccPresent()) GTEST_SKIP() << "sdcc is not installed";
        start_ = g_simClock.clock;
        image_ = Image("node", kNode);
        g_deliveries.clear();
    }

    // A communicating node with the given bus lines.
    std::string Node(const std::string& name, const std::string& bus, const std::string& more = "")
    {
        return Block(name, image_, "  output \"Heard\"\n  output \"CanSend\"\n" + bus + more);
    }

    static std::string Large(const std::string& addresses)
    {
        return "  kombus_implementation = LARGE\n  kombus_address = " + addresses + "\n  kombus_buffers = 4, 4\n";
    }

    // Connects 1 ms after the start, after a node without the delay.
    static constexpr const char* kLater = "  delay_power_on = 1ms\n";

    // Reads, starts and follows the nodes' deliveries.
    void Start(const std::string& text)
    {
        ASSERT_TRUE(Parse(text));
        ASSERT_TRUE(SWMODULE_StartModules(modules_));
        for (SWMODULE* m = modules_; m; m = m->next)
            ASSERT_TRUE(SWMODULE_AddReferer(m, "Heard", RecordDelivery, m, 1));
    }

    // Queues a message of the given length to the destination; byte 2 marks it.
    static bool Send(SWMODULE* from, uint8_t length, uint8_t destination, uint8_t mark)
    {
        std::vector<uint8_t> message(256, 0);
        message[0] = length;
        message[1] = destination;
        message[2] = mark;
        if (!KOMBUS_TakeSendBuffer(from->bus)) return false;
        KOMBUS_QueueSend(from->bus, message.data(), 0);
        return true;
    }

    TIME_MS At(TIME_MS offset) const { return start_ + offset; }
    TIME_MS start_ = 0;
    std::string image_;
};

TEST_F(BusTest, TheRingTimesTokensAndTransmissions)
{
    Start(Node("A", Large("2")) + Node("B", Large("5"), kLater));
    SWMODULE* a = Module("A");
    SWMODULE* b = Module("B");
    ASSERT_TRUE(Send(a, 4, 5, 'a'));
    RunUntil(At(2));
    EXPECT_EQ(a->bus->successor, b->bus);
    EXPECT_EQ(a->bus->tokenDelay, 11);
    EXPECT_EQ(b->bus->successor, a->bus);
    EXPECT_EQ(b->bus->tokenDelay, 23);
    EXPECT_TRUE(KOMBUS_IsActive(a->bus->satelliteBus));
    // The token reaches address 2 after 5 ms; a 4-byte message takes 2 ms.
    RunUntil(At(8));
    ASSERT_TRUE(Send(b, 255, 2, 'b'));
    // The token reaches 5 at 16 ms; 255 bytes take 52 ms.
    RunUntil(At(100));
    std::vector<Delivery> expected = {{"B", At(7), 'a'}, {"A", At(68), 'b'}};
    EXPECT_EQ(g_deliveries, expected);
    // Without B the token circles A alone every 40 ms.
    SWMODULE_SetPower(b, 0);
    RunUntil(At(102));
    EXPECT_EQ(a->bus->successor, a->bus);
    EXPECT_EQ(a->bus->tokenDelay, 40);
    EXPECT_EQ(Log().find("interní chyba"), std::string::npos) << Log();
}

TEST_F(BusTest, ABroadcastReachesEveryOtherPoweredModule)
{
    Start(Node("A", Large("2")) + Node("B", Large("5"), kLater) + Node("C", Large("7"), kLater) +
          Node("D", Large("9"), "  power = GLOBAL_VARIABLE(\"Module_System_Time_10ms\")\n"));
    ASSERT_TRUE(Send(Module("A"), 3, 127, 'x'));
    RunUntil(At(20));
    std::vector<Delivery> expected = {{"B", At(6), 'x'}, {"C", At(6), 'x'}};
    EXPECT_EQ(g_deliveries, expected);
}

// Two satellites are two spacecraft: each has a bus of its own, so twins on
// the same addresses pass their own tokens, a message to an address reaches
// the module of the sender's satellite and a broadcast goes no further, and
// the shared address is no clash to report.
TEST_F(BusTest, EachSatelliteHasABusOfItsOwn)
{
    Start(Node("A", Large("2")) + Node("B", Large("5"), kLater));
    SWMODULE* first = modules_;
    modules_ = nullptr;
    Start(Node("A2", Large("2")) + Node("B2", Large("5"), kLater));
    SWMODULE* second = modules_;
    modules_ = first;
    Module("B")->next = second;   // one list to tick and free
    EXPECT_EQ(Log().find("SWM:"), std::string::npos) << Log();
    SWMODULE* a = Module("A");
    SWMODULE* a2 = Module("A2");
    SWMODULE* b2 = Module("B2");
    ASSERT_TRUE(Send(a, 4, 5, 'a'));
    ASSERT_TRUE(Send(a2, 4, 5, 'c'));
    ASSERT_TRUE(Send(b2, 3, 127, 'x'));
    RunUntil(At(100));
    EXPECT_NE(a->bus->satelliteBus, a2->bus->satelliteBus);
    EXPECT_EQ(a->bus->successor, Module("B")->bus);
    EXPECT_EQ(a2->bus->successor, b2->bus);
    EXPECT_EQ(b2->bus->successor, a2->bus);
    std::sort(g_deliveries.begin(), g_deliveries.end());   // the satellites' order at one time is no matter
    std::vector<Delivery> expected = {{"A2", At(17), 'x'}, {"B", At(7), 'a'}, {"B2", At(7), 'c'}};
    EXPECT_EQ(g_deliveries, expected);
}

TEST_F(BusTest, PowerOffDuringATransmissionLosesNothingButTheMessage)
{
    Start(Node("A", Large("2")) + Node("B", Large("5"), kLater));
    SWMODULE* a = Module("A");
    ASSERT_TRUE(Send(a, 255, 5, 'a'));
    RunUntil(At(20));
    ASSERT_TRUE(a->bus->transmitting);
    SWMODULE_SetPower(a, 0);
    RunUntil(At(200));
    EXPECT_TRUE(g_deliveries.empty());
    EXPECT_EQ(a->bus->sendQueue.head, nullptr);
    int freeBuffers = 0;
    for (KOMBUS_BUFFER* b = a->bus->sendFree; b; b = b->next) ++freeBuffers;
    EXPECT_EQ(freeBuffers, 4);
    EXPECT_EQ(a->bus->generation, 2u);
    SWMODULE_SetPower(a, 1);
    RunUntil(At(202));
    EXPECT_EQ(a->bus->generation, 3u);
    EXPECT_EQ(Log().find("interní chyba"), std::string::npos) << Log();
}

TEST_F(BusTest, ASmallModuleHoldingItsMessageCannotSend)
{
    Start(Node("A", "  kombus_implementation = SMALL\n  kombus_address = 2\n") + Node("B", Large("5")));
    SWMODULE* a = Module("A");
    a->cpu->xram[0x300] = 1;
    ASSERT_TRUE(Send(Module("B"), 3, 2, 'b'));
    RunUntil(At(30));
    ASSERT_EQ(g_deliveries.size(), 1u);
    SWMODULE_ReadVariable(a, &a->outputs[1]);
    EXPECT_EQ(SWTYPE_GetIntValue(&a->outputs[1].value), 0);
    // With its only buffer taken for sending, a message to it is dropped.
    ASSERT_TRUE(KOMBUS_TakeSendBuffer(a->bus));
    ASSERT_TRUE(Send(Module("B"), 3, 2, 'c'));
    RunUntil(At(100));
    EXPECT_EQ(g_deliveries.size(), 1u);
    EXPECT_EQ(a->bus->received.head, nullptr);
}

TEST_F(BusTest, AMessageTakenByTheEntryAfterReleasingItsOwnStaysTaken)
{
    Start(Node("R", Large("5")) + Node("S", Large("2")));
    SWMODULE* r = Module("R");
    RunUntil(At(1));
    // Hold a message so that the next two wait in the queue.
    KOMBUS_BUFFER held{};
    r->bus->takenReceived = &held;
    ASSERT_TRUE(Send(Module("S"), 3, 5, 'B'));
    RunUntil(At(10));
    ASSERT_TRUE(Send(Module("S"), 3, 5, 'C'));
    RunUntil(At(60));
    r->bus->takenReceived = nullptr;
    ASSERT_NE(r->bus->received.head, nullptr);
    ASSERT_NE(r->bus->received.head->next, nullptr);
    // The entry releases B, takes C and keeps it.
    r->cpu->xram[0x300] = 2;
    SWMODULE_DeliverMessage(r);
    EXPECT_EQ(r->cpu->xram[0x320], 2);
    EXPECT_EQ(r->cpu->xram[0x310], 'B');
    EXPECT_EQ(r->cpu->xram[0x311], 'C');
    ASSERT_NE(r->bus->takenReceived, nullptr);
    EXPECT_EQ(r->bus->takenReceived->bytes[2], 'C');
    EXPECT_EQ(r->bus->received.head, r->bus->takenReceived);
}

TEST_F(BusTest, AMessageShorterThanItsHeaderIsRefused)
{
    Start(Node("A", Large("2")) + Node("B", Large("5")));
    SWMODULE* a = Module("A");
    RunUntil(At(1));
    a->cpu->xram[0x300] = 3;
    LOG_SetClock(&g_simClock.clock);
    RunUntil(At(12));
    LOG_SetClock(nullptr);
    EXPECT_NE(Log().find("CHYBA MODULU: \"A\" vyvolal funkci KOM_OdeslatVystupniZpravu se zprávou délky 1.\n"),
              std::string::npos)
        << Log();
    SWMODULE_ReadVariable(a, &a->outputs[1]);
    EXPECT_EQ(SWTYPE_GetIntValue(&a->outputs[1].value), 1);   // the buffer came back
    EXPECT_EQ(a->bus->sendQueue.head, nullptr);

    // Copies from external RAM wrap at its top.
    KOMBUS_ReturnSendBuffer(a->bus);
    ASSERT_TRUE(KOMBUS_TakeSendBuffer(a->bus));
    a->cpu->xram[0xFFFE] = 4;
    a->cpu->xram[0xFFFF] = 5;
    a->cpu->xram[0x0000] = 0xAA;
    a->cpu->xram[0x0001] = 0xBB;
    KOMBUS_QueueSend(a->bus, a->cpu->xram, 0xFFFE);
    ASSERT_NE(a->bus->sendQueue.head, nullptr);
    EXPECT_EQ(a->bus->sendQueue.head->bytes[2], 0xAA);
    EXPECT_EQ(a->bus->sendQueue.head->bytes[3], 0xBB);
}

TEST_F(BusTest, InterleavedAndEqualAddressSetsStillPassTheToken)
{
    Start(Node("A", Large("2, 8")) + Node("B", Large("5")));
    SWMODULE* a = Module("A");
    SWMODULE* b = Module("B");
    RunUntil(At(1));
    EXPECT_EQ(a->bus->successor, b->bus);
    EXPECT_EQ(a->bus->tokenDelay, 23);   // from 8 up to 5 over 10: gap 7
    EXPECT_EQ(b->bus->successor, a->bus);
    EXPECT_EQ(b->bus->tokenDelay, 23);   // from 5 up to 2: gap 7
    ASSERT_TRUE(Send(a, 3, 5, 'a'));
    ASSERT_TRUE(Send(b, 3, 8, 'b'));
    RunUntil(At(100));
    EXPECT_EQ(g_deliveries.size(), 2u);
    FreeModules();
    KOMBUS_FreeAll();
    LOG_Init();
    g_deliveries.clear();
    Start(Node("C", Large("3")) + Node("D", Large("3"), kLater));
    EXPECT_EQ(Log(), "SWM: moduly \"C\" a \"D\" mají oba nadefinovanou komunikační adresu 3.\n");
    TIME_MS t = g_simClock.clock;
    RunUntil(t + 2);
    SWMODULE* c = Module("C");
    SWMODULE* d = Module("D");
    EXPECT_EQ(c->bus->successor, d->bus);
    EXPECT_EQ(c->bus->tokenDelay, 32);   // a full turn
    EXPECT_EQ(d->bus->successor, c->bus);
    ASSERT_TRUE(Send(d, 3, 3, 'd'));   // to the first module on 3
    RunUntil(t + 100);
    ASSERT_EQ(g_deliveries.size(), 1u);
    EXPECT_EQ(std::get<0>(g_deliveries[0]), "C");
}

TEST_F(BusTest, ATransmissionOutlastingTheRoundTripHoldsTheNextOne)
{
    Start(Node("A", Large("2")) + Node("B", Large("3"), kLater));
    SWMODULE* a = Module("A");
    ASSERT_TRUE(Send(a, 255, 3, '1'));
    ASSERT_TRUE(Send(a, 255, 3, '2'));
    RunUntil(At(200));
    // Tokens reach 2 at 5, 39, 73 ms: the first transmission runs 5..57, the
    // second starts at 73.
    std::vector<Delivery> expected = {{"B", At(57), '1'}, {"B", At(125), '2'}};
    EXPECT_EQ(g_deliveries, expected);
}

}  // namespace
