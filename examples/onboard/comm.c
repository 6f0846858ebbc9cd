/* COMM: a radio stand-in for the on-board simulator. It answers every field
 * report from the controller with the number of reports it has received. */
#include "module_services.h"

#define ACS_ADDRESS 2

__xdata unsigned int reports;

void cold_start(void)
{
    reports = 0;
    M_DEBUG_String(M_CODE_NAME("COMM: cold start\n"));
}

void warm_start(void)
{
    M_DEBUG_String(M_CODE_NAME("COMM: warm start\n"));
}

/* The message is already in the receive buffer; m_kom_message holds its address. */
void bus_message(void)
{
    m_message answer;
    ++reports;
    if (!KOM_PripravitVystupniZpravu()) return;
    answer = KOM_PointerVystupniZpravy();
    answer[0] = 4;
    answer[1] = ACS_ADDRESS;
    answer[2] = reports >> 8;
    answer[3] = reports;
    KOM_OdeslatVystupniZpravu();
}

void main(void)
{
    M_RegisterEntry(M_ENTRY_COLD_START, cold_start);
    M_RegisterEntry(M_ENTRY_WARM_START, warm_start);
    M_RegisterEntry(M_ENTRY_BUS_MESSAGE, bus_message);
    M_DEBUG_String(M_CODE_NAME("COMM: hello from the radio\n"));
}
