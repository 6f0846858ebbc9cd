// The example CubeSat's surface model for the benchmarks, read as a satellite
// reads it: the file is copied into the program's folder, where the
// configuration reader looks.
#pragma once
#include <filesystem>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "simulation/surfmodel.h"

inline SURFMODEL* LoadCubeSat()
{
    MEMORY_Init();
    LOG_Init();
    IOTXT_Init();
    std::filesystem::path target = std::filesystem::path(MEMORY_ProgramDirectory()) / "cubesat.surf";
    std::filesystem::copy_file(std::filesystem::path(ORBIT_SOURCE_DIR) / "examples/leo/cubesat.surf", target,
                               std::filesystem::copy_options::overwrite_existing);
    static char line[] = "= \"cubesat\", \"cubesat.surf\"";
    IOTXT_BeginString(line);
    SURFMODEL* model = nullptr;
    SURFMODEL_ParseDefinition(&model);
    IOTXT_EndString();
    return model;
}
