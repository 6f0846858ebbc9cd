// IOTXT: the line-oriented configuration reader with its stack of open files,
// and the typed value readers of the configuration language.
#pragma once
#include <cstdint>
#include "foundation/time.h"

enum IOTXT_VALUE_TYPE : uint32_t { IOTXT_TYPE_NONE = 0, IOTXT_TYPE_INT64 = 1, IOTXT_TYPE_DOUBLE = 2, IOTXT_TYPE_STRING = 3 };

void IOTXT_Init();
void IOTXT_Done();
// Opens a file of the program directory on the stack of 16; 0 (no message)
// when it does not open, the joined path does not fit, or 16 are open.
uint32_t IOTXT_OpenFile(const char* name);
void IOTXT_CloseFile();
// Reads the next line that is not empty or a comment; 0 at end of file. A line
// longer than 496 characters is reported in the log with its number and is
// handed on as a line that no keyword or value accepts.
uint32_t IOTXT_NextLine();
uint32_t IOTXT_GetLineNumber();
// 1 when a file is open or a text has been made current with IOTXT_BeginString.
uint32_t IOTXT_HasCurrentText();
void IOTXT_SkipBlanks();
uint32_t IOTXT_IsEndOfLine();
uint32_t IOTXT_MatchWord(const char* word);
uint32_t IOTXT_PeekWord(const char* word);
uint32_t IOTXT_MatchChar(char c);
uint32_t IOTXT_MatchComma();
uint32_t IOTXT_MatchEquals();
void IOTXT_SkipChar();
void IOTXT_SetPosition(char* text);
char* IOTXT_GetPosition();
void IOTXT_BeginString(char* text);
void IOTXT_EndString();

uint32_t IOTXT_ReadInt64(int64_t* value);
uint32_t IOTXT_ReadDouble(double* value);
uint32_t IOTXT_ReadDuration(int64_t* ms);
uint32_t IOTXT_ReadTimeFromStart(int64_t* time);
uint32_t IOTXT_ReadUtTime(SYSTEMTIME* st);
uint32_t IOTXT_ReadNamedTriple(const char* word, double* a, double* b, double* c);
uint32_t IOTXT_ReadTriple(double* a, double* b, double* c);
uint32_t IOTXT_ReadDoubleList(double* values, uint16_t count);
uint32_t IOTXT_ReadRgb(uint8_t* r, uint8_t* g, uint8_t* b);
uint32_t IOTXT_ReadRightAscension(double* degrees);
uint32_t IOTXT_ReadDeclination(double* degrees);
uint32_t IOTXT_ReadLength(double* metres);
uint32_t IOTXT_ReadMass(double* kilograms);
uint32_t IOTXT_ReadSpeedRatio(double* ratio);
uint32_t IOTXT_ReadBool(uint32_t* value);
char* IOTXT_ReadQuotedString();
char* IOTXT_ReadIdent();
char* IOTXT_IdentFromString(const char* text);
uint32_t IOTXT_ReadGenericValue(uint32_t* type, int64_t* integer, double* real, char** text);

// PARAMETER("name") values come from the multipass series, which installs its
// lookup at start; without one every name is unknown.
typedef uint32_t (*IOTXT_PARAM_LOOKUP)(const char* name, double* value);
void IOTXT_SetParamLookup(IOTXT_PARAM_LOOKUP lookup);
char* IOTXT_ReadRestOfLine();
