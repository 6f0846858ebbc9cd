// DDITEM: a drawn data item, a three-component output of an on-board module
// shown as an arrow in its satellite's body frame.
#pragma once
#include <cstdint>
#include "onboard/swvalue.h"

struct SATELIT;

enum DDITEM_TYPE : uint32_t { DDITEM_MODULE_VECTOR_BODY = 1 };

constexpr uint32_t DDITEM_REFERER_TAG = 1000;

struct DDITEM {
    uint32_t type;
    SW_CONNECTION source;
    double low;
    double high;
    uint8_t color[3];
    char* name;
    double vector[3];           // the output's last value, written during module runs
    double drawnVector[3];      // its copy at the frame's snapshot, which the drawing reads
    DDITEM* next;
};

// Reads the block after the "draw_data_item" keyword; the item, or null
// after one logged message.
DDITEM* DDITEM_Parse();
// Binds the item to its module output at the satellite's start.
uint32_t DDITEM_Link(DDITEM* item, SATELIT* sat);
void DDITEM_OnModuleOutput(uint32_t phase, void* item, uint32_t tag, SW_VALUE* value);
// Arrow length for the vector's length L in size units s.
double DDITEM_ArrowLength(const DDITEM* item, double length, double s);
void DDITEM_Draw(DDITEM* item, double s, int32_t font);
// Copies the vector for the frame (render thread, the simulation held off).
void DDITEM_SnapshotForDrawing(DDITEM* item);
void DDITEM_Free(DDITEM* item);
