// DATAOUT: the data output configuration ("DataOutput.cfg"), the sources of
// recorded values, the computed data-value nodes' list, and the result files
// with the timing of their rows.
#pragma once
#include <cstdint>
#include "foundation/time.h"

struct DOHAN_ROW;
struct DVHAN_ROW;
struct DATAOUT_NODE;

constexpr uint32_t DATAOUT_FILE_CSV = 1;
constexpr uint32_t DATAOUT_TYPE_FLOAT = 2;

enum DATAOUT_SOURCE_KIND : uint32_t {
    DATAOUT_SOURCE_NONE = 0,
    DATAOUT_SOURCE_CONSTANT = 1,
    DATAOUT_SOURCE_QUANTITY = 2,
    DATAOUT_SOURCE_NODE = 3,
    DATAOUT_SOURCE_PARAMETER = 4,
};

// Where a column or a node operand takes its value from.
struct DATAOUT_SOURCE {
    uint32_t kind;
    const DOHAN_ROW* quantity;     // kind 2
    void* quantityData;            // kind 2: the quantity's private record
    DATAOUT_NODE* node;            // kind 3
    char* paramName;               // kind 4
    uint32_t constType;            // kind 1: IOTXT_VALUE_TYPE 1 or 2
    int64_t intConst;
    double realConst;
    char* text;                    // never set by the parser
};

// One column of a data file.
struct DATAOUT_VALUE {
    char* name;
    uint32_t type;                 // 2 = FLOAT
    uint16_t width;                // 0..1000, 0 = no width
    uint16_t decimals;             // 0..1000
    uint32_t exp;                  // exponent form
    DATAOUT_SOURCE source;
    DATAOUT_VALUE* next;
};

// One computed data value.
struct DATAOUT_NODE {
    char* name;
    const DVHAN_ROW* type;
    void* data;                    // the node type's private record
    DATAOUT_NODE* next;
};

// One queued result row.
struct DATAOUT_ROW {
    char* text;
    DATAOUT_ROW* next;
};

// One data file.
struct DATAOUT_FILE {
    uint32_t type;                 // 1 = CSV
    char* name;                    // as written, may hold #(<parameter>)
    char* runName;                 // the name with parameter values filled in
    uint32_t headerPending;
    TIME_MS nextSave;
    uint32_t results;              // one row per run
    uint64_t interval;             // ms of simulated time; 86400 for a results file
    TIME_MS start;
    TIME_MS end;
    uint64_t timeUnit;             // ms, unit of the relative time column
    DATAOUT_VALUE* columns;
    uint64_t flushInterval;        // ms of real time
    uint64_t lastFlush;
    uint32_t queuedCount;
    DATAOUT_ROW* firstQueued;
    DATAOUT_ROW* lastQueued;
    DATAOUT_FILE* next;
    uint32_t lossReported;         // a header or row of runName was lost (and logged): no more rows go in
    // A pipe (a named pipe with its reader) is held open from its header to
    // the release of runName, so that its reader sees the end of the data
    // only then: -1 when none is held.
    int32_t heldPipe = -1;
};

constexpr TIME_MS DATAOUT_NEVER = 0x00FFFFFFFFFFFFFFLL;
constexpr uint64_t DATAOUT_DAY_MS = 86400000;
constexpr uint64_t DATAOUT_RESULTS_INTERVAL = 86400;
constexpr uint64_t DATAOUT_FLUSH_INTERVAL = 5000;
constexpr uint32_t DATAOUT_FLUSH_ROWS = 201;
constexpr uint32_t DATAOUT_ROW_BUFFER_SIZE = 16395;
constexpr uint32_t DATAOUT_ROW_MAX_CHARS = 16383;
constexpr uint32_t DATAOUT_NUMBER_ROOM = 197;
constexpr uint32_t DATAOUT_NAME_MAX_CHARS = 5000;
// The node period when nodes are updated but none has an accuracy.
constexpr uint32_t DATAOUT_DEFAULT_NODE_PERIOD = 1000;

// Module state: the data files and nodes in file order, and the row buffer.
struct DATAOUT_STATE {
    DATAOUT_FILE* firstFile;
    DATAOUT_FILE* lastFile;
    DATAOUT_NODE* firstNode;
    DATAOUT_NODE* lastNode;
    char* rowBuffer;
    uint32_t rowLength;
    uint32_t dataLost;             // a header or row could not be written
};

extern DATAOUT_STATE g_dataout;

// Program lifetime and configuration (dataout.cpp).
// Multipass parameter values for PARAMETER sources and "#(name)" in file
// names; the multipass series installs them at start.
typedef uint32_t (*DATAOUT_PARAM_VALUE)(const char* name, double* value);
typedef const char* (*DATAOUT_PARAM_TEXT)(const char* name);
void DATAOUT_SetParamLookups(DATAOUT_PARAM_VALUE value, DATAOUT_PARAM_TEXT text);
uint32_t DATAOUT_ParamValue(const char* name, double* value);
const char* DATAOUT_ParamText(const char* name);

void DATAOUT_Init();
void DATAOUT_Done();
// Reads "DataOutput.cfg" once per program (a missing file is success).
uint32_t DATAOUT_LoadConfig();
// The same for a configuration file of another name in the program directory.
uint32_t DATAOUT_LoadConfigFile(const char* fileName);
uint32_t DATAOUT_ParseDataFile();
DATAOUT_VALUE* DATAOUT_ParseValue();
uint32_t DATAOUT_ParseDataValue();
uint32_t DATAOUT_ParseSource(DATAOUT_SOURCE* source);
uint32_t DATAOUT_LinkSource(DATAOUT_SOURCE* source);
void DATAOUT_EvalSource(const DATAOUT_SOURCE* source, uint32_t* type, int64_t* integer, double* real,
                        char** text);
void DATAOUT_FreeSource(DATAOUT_SOURCE* source);
void DATAOUT_FreeValue(DATAOUT_VALUE* column);
void DATAOUT_FreeValueList(DATAOUT_VALUE* columns);
// Frees a file's queued rows without writing them.
void DATAOUT_FreeQueuedRows(DATAOUT_FILE* file);
void DATAOUT_FreeFile(DATAOUT_FILE* file);
void DATAOUT_FreeFileList(DATAOUT_FILE* files);
void DATAOUT_FreeNodeList(DATAOUT_NODE* nodes);
DATAOUT_NODE* DATAOUT_FindNode(const char* name);

// Nodes at run start and during the run (dataout.cpp).
uint32_t DATAOUT_LinkNodes();
// The smallest sampling period of the nodes; 1000 when nodes are updated but
// none has an accuracy; 0xFFFFFFFF when no node is updated.
uint32_t DATAOUT_GetMinAccuracy();
void DATAOUT_UpdateNodes();

// Result files and their timing (dataout_files.cpp).
uint32_t DATAOUT_Start();
uint32_t DATAOUT_PrepareFiles();
// The time of the next result row of any file; INT64_MAX when none is due.
TIME_MS DATAOUT_NextSaveTime();
// Writes the rows due at the clock. A row only reads the state.
void DATAOUT_WriteDue();
void DATAOUT_Finish();
void DATAOUT_WriteHeader(DATAOUT_FILE* file);
void DATAOUT_WriteRow(DATAOUT_FILE* file);
// Appends the queued rows, whole rows only; a file that cannot be written is
// reported once and counts as lost data.
void DATAOUT_FlushFile(DATAOUT_FILE* file);
// Closes the pipe held for the file's rows, if any: its reader sees the end.
void DATAOUT_ReleasePipe(DATAOUT_FILE* file);
// 1 when result data was lost since the program started (a header or row
// that could not be written): the program then ends with a failure.
uint32_t DATAOUT_LostData();
void DATAOUT_FormatNumber(double value, char* text, uint32_t room, const DATAOUT_VALUE* column);
void DATAOUT_Append(uint32_t decimalComma, const char* format, ...) __attribute__((format(printf, 2, 3)));
void DATAOUT_AppendText(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The file name with every #(<parameter>) replaced by the parameter's current value;
// a new text (POOL_BLOCK) or null after a message.
char* PreprocessFileName(const char* name);
