/* BDOT: a B-dot detumbling controller for the on-board simulator.
 *
 * Once a second it reads the magnetic field in the body frame (units of
 * 10 nT), takes its change since the previous second and commands each of the
 * three coils a drive value against that change: v = -7/3 dB per axis. The
 * satellite maps the drive values -1000..1000 linearly onto -5..5 V across a
 * coil of 300 ohms, 200 windings of 80 x 80 mm, so a full drive gives
 * 0.0213 A m^2 and the law is the built-in B-dot's m = -5000 A m^2 s/T dB/dt.
 * A command beyond full drive is scaled down on all three axes together, so
 * the dipole keeps its direction. */
#include "module_services.h"

#define FULL_DRIVE 1000L

__xdata int field[3];      /* input "Field" */
__xdata int coil_x;        /* output "CoilX" */
__xdata int coil_y;        /* output "CoilY" */
__xdata int coil_z;        /* output "CoilZ" */

__xdata int previous[3];
__xdata unsigned char have_previous;

static long magnitude(long v) { return v < 0 ? -v : v; }

void control(void)
{
    long drive[3];
    long largest = 0;
    unsigned char i;
    for (i = 0; i < 3; ++i) {
        drive[i] = have_previous ? -((long)field[i] - previous[i]) * 7 / 3 : 0;
        if (magnitude(drive[i]) > largest) largest = magnitude(drive[i]);
        previous[i] = field[i];
    }
    have_previous = 1;
    if (largest > FULL_DRIVE)
        for (i = 0; i < 3; ++i) drive[i] = drive[i] * FULL_DRIVE / largest;
    coil_x = drive[0];
    coil_y = drive[1];
    coil_z = drive[2];
}

/* Reset: the entry and the input and outputs, all refreshed once a second. */
void main(void)
{
    M_RegisterEntry(M_ENTRY_1000MS, control);
    SetupInput(M_CODE_NAME("Field"), M_TYPE_3xINT, field);
    BindInput(M_CODE_NAME("Field"), M_ENTRY_1000MS);
    SetupOutput(M_CODE_NAME("CoilX"), M_TYPE_INT, &coil_x);
    BindOutput(M_CODE_NAME("CoilX"), M_ENTRY_1000MS);
    SetupOutput(M_CODE_NAME("CoilY"), M_TYPE_INT, &coil_y);
    BindOutput(M_CODE_NAME("CoilY"), M_ENTRY_1000MS);
    SetupOutput(M_CODE_NAME("CoilZ"), M_TYPE_INT, &coil_z);
    BindOutput(M_CODE_NAME("CoilZ"), M_ENTRY_1000MS);
}
