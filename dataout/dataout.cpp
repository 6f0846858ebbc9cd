// Provisional data output: records nothing. Replaced by the full module.
#include "dataout/dataout.h"
void DATAOUT_Init() {}
void DATAOUT_Done() {}
uint32_t DATAOUT_LoadConfig() { return 1; }
uint32_t DATAOUT_Start() { return 1; }
uint32_t DATAOUT_GetMinAccuracy() { return 0xFFFFFFFFu; }
uint32_t DATAOUT_SnapTimeToSave() { return 0; }
void DATAOUT_WriteDue() {}
void DATAOUT_UpdateNodes() {}
void DATAOUT_Finish() {}
