/* ACS: a small magnetic attitude controller for the on-board simulator.
 *
 * Every 10 ms it reads the magnetic field in the body frame (units of 10 nT)
 * and commands a dipole across the field, m = k (B x z), which turns the
 * body's z axis toward the field line (a B-cross law). Once a
 * second it reports the field to the radio over the on-board bus, and once a
 * simulated minute it writes a status line to the simulator's log. */
#include "module_services.h"

#define RADIO_ADDRESS 5

__xdata int field[3];          /* input "Field" */
__xdata int dipole[3];         /* output "Dipole" */
__xdata unsigned char comm_power; /* output "CommPower" */

__xdata unsigned long seconds;     /* 32 bits: a 16-bit count would wrap after 18.2 hours */
__xdata unsigned int reports_sent; /* 16 bits, as the radio's answers count */
__xdata unsigned int last_answer;

/* Cold start: count the time from here; switch the radio on. */
void cold_start(void)
{
    seconds = 0;
    comm_power = 1;
}

/* Every 10 ms: m = k (B x z) = k (By, -Bx, 0), with k = 1/8 in the units of
 * the output. */
void control(void)
{
    dipole[0] = field[1] / 8;
    dipole[1] = -field[0] / 8;
    dipole[2] = 0;
}

/* Every second: send the field to the radio; every minute: a status line. */
void each_second(void)
{
    m_message message;
    if (KOM_PripravitVystupniZpravu()) {
        message = KOM_PointerVystupniZpravy();
        message[0] = 8;
        message[1] = RADIO_ADDRESS;
        message[2] = field[0] >> 8;
        message[3] = field[0];
        message[4] = field[1] >> 8;
        message[5] = field[1];
        message[6] = field[2] >> 8;
        message[7] = field[2];
        KOM_OdeslatVystupniZpravu();
        ++reports_sent;
    }
    if (++seconds % 60 == 0)
        M_DEBUG_Printf("ACS %lu s: B = (%d, %d, %d) x 10 nT, dipole = (%d, %d, %d), reports %u, answers %u\n",
                       seconds, field[0], field[1], field[2], dipole[0], dipole[1], dipole[2], reports_sent,
                       last_answer);
}

/* A message from the radio: its answer counter. */
void bus_message(void)
{
    m_message message = (m_message)m_kom_message;
    if (message[0] >= 4) last_answer = (unsigned int)message[2] << 8 | message[3];
}

/* Reset: register the entries and declare the inputs and outputs. */
void main(void)
{
    M_RegisterEntry(M_ENTRY_COLD_START, cold_start);
    M_RegisterEntry(M_ENTRY_10MS, control);
    M_RegisterEntry(M_ENTRY_1000MS, each_second);
    M_RegisterEntry(M_ENTRY_BUS_MESSAGE, bus_message);
    SetupInput(M_CODE_NAME("Field"), M_TYPE_3xINT, field);
    BindInput(M_CODE_NAME("Field"), M_ENTRY_10MS);
    SetupOutput(M_CODE_NAME("Dipole"), M_TYPE_3xINT, dipole);
    BindOutput(M_CODE_NAME("Dipole"), M_ENTRY_10MS);
    SetupOutput(M_CODE_NAME("CommPower"), M_TYPE_BYTE, &comm_power);
    BindOutput(M_CODE_NAME("CommPower"), M_ENTRY_COLD_START);
    M_DEBUG_String(M_CODE_NAME("ACS: hello from the attitude controller\n"));
}
