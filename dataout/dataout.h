// DATAOUT: the data output configuration, the result files and their timing.
#pragma once
#include <cstdint>

void DATAOUT_Init();
void DATAOUT_Done();
// Reads "DataOutput.cfg" once per program (a missing file is success).
uint32_t DATAOUT_LoadConfig();
uint32_t DATAOUT_Start();
uint32_t DATAOUT_GetMinAccuracy();
// Sets the clock back to a result row that has fallen due; 1 when it did.
uint32_t DATAOUT_SnapTimeToSave();
void DATAOUT_WriteDue();
void DATAOUT_UpdateNodes();
void DATAOUT_Finish();
