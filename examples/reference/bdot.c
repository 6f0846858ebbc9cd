/* BDOT: a B-dot detumbling controller for three magnetic coils.
 *
 * Every 10 ms it reads the magnetic field in the body frame (nT) and drives
 * each coil with a voltage against the change of the field since the last
 * run, v = -16 dB, limited to the coils' range of -1000 ... 1000 (the coil
 * definitions map that range onto -5 ... 5 V). A spinning body sees the field
 * turn, and the dipole the coils then produce brakes the spin. Every ten
 * simulated seconds it writes the field and the three drives to the log. */
#include "module_services.h"

#define GAIN_SHIFT 4        /* the gain 16 as a shift */
#define DRIVE_LIMIT 1000L

__xdata long field[3];      /* input "Field" */
__xdata int coil[3];        /* outputs "CoilX", "CoilY", "CoilZ" */
__xdata long previous[3];
__xdata unsigned char have_previous;
__xdata unsigned long seconds;   /* 32 bits: a 16-bit count would wrap after 18.2 hours */

/* Cold start: no previous field yet, the coils off. */
void cold_start(void)
{
    unsigned char axis;
    for (axis = 0; axis < 3; ++axis) coil[axis] = 0;
    have_previous = 0;
    seconds = 0;
}

static int drive_against(long change)
{
    long drive = -(change << GAIN_SHIFT);
    if (drive > DRIVE_LIMIT) return (int)DRIVE_LIMIT;
    if (drive < -DRIVE_LIMIT) return (int)-DRIVE_LIMIT;
    return (int)drive;
}

/* Every 10 ms: one drive per coil from the change of the field. */
void control(void)
{
    unsigned char axis;
    for (axis = 0; axis < 3; ++axis) {
        coil[axis] = have_previous ? drive_against(field[axis] - previous[axis]) : 0;
        previous[axis] = field[axis];
    }
    have_previous = 1;
}

/* Every second; every ten seconds a status line, half way between the
 * satellite's orbit steps (every 10 s), at which the field jumps by the
 * orbit's advance and one drive answers that jump. */
void each_second(void)
{
    if (++seconds % 10 != 5) return;
    M_DEBUG_Printf("BDOT %lu s: B = (%ld, %ld, %ld) nT, drive = (%d, %d, %d)\n", seconds, field[0], field[1],
                   field[2], coil[0], coil[1], coil[2]);
}

/* Reset: register the entries and declare the input and the outputs. */
void main(void)
{
    M_RegisterEntry(M_ENTRY_COLD_START, cold_start);
    M_RegisterEntry(M_ENTRY_10MS, control);
    M_RegisterEntry(M_ENTRY_1000MS, each_second);
    SetupInput(M_CODE_NAME("Field"), M_TYPE_3xLONG, field);
    BindInput(M_CODE_NAME("Field"), M_ENTRY_10MS);
    SetupOutput(M_CODE_NAME("CoilX"), M_TYPE_INT, &coil[0]);
    BindOutput(M_CODE_NAME("CoilX"), M_ENTRY_10MS);
    SetupOutput(M_CODE_NAME("CoilY"), M_TYPE_INT, &coil[1]);
    BindOutput(M_CODE_NAME("CoilY"), M_ENTRY_10MS);
    SetupOutput(M_CODE_NAME("CoilZ"), M_TYPE_INT, &coil[2]);
    BindOutput(M_CODE_NAME("CoilZ"), M_ENTRY_10MS);
}
