// Provisional log: writes every message to "Zendrix.log". Replaced by the full module.
#include "foundation/log.h"
#include <cstdarg>
#include <cstdio>

void LOG_Init() { FILE* f = fopen("Zendrix.log", "w"); if (f) fclose(f); }
void LOG_Done() {}
void LOG_WriteFile(const char* format, ...)
{
    FILE* f = fopen("Zendrix.log", "a");
    if (!f) return;
    va_list ap; va_start(ap, format); vfprintf(f, format, ap); va_end(ap);
    fclose(f);
}
void LOG_Printf(const char* format, ...)
{
    char buffer[4000];
    va_list ap; va_start(ap, format); vsnprintf(buffer, sizeof buffer, format, ap); va_end(ap);
    LOG_WriteFile("%s", buffer);
}
void LOG_StampNext() {}
void LOG_PrintVector(const VEC3* v) { LOG_Printf("[%g , %g , %g]", v->x, v->y, v->z); }
int LOG_FormatDouble(const double* value, char* buffer) { return sprintf(buffer, "%lf", *value); }
void LOG_SetOutput(uint32_t) {}
void LOG_SetStartTime(int64_t) {}
void LOG_ClearStartTime() {}
