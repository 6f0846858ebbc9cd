// DOHAN: the table of recordable quantities that a data source can name.
#pragma once
#include <cstdint>

// One recordable quantity: its keyword and the operations on its private record.
struct DOHAN_ROW {
    const char* keyword;
    // Reads the argument list after the keyword and creates the private record; 1 / 0.
    uint32_t (*parse)(void** data);
    // Resolves the record's names to the run's objects at run start; 1 / 0.
    uint32_t (*link)(void* data);
    // The current value: type out, real out, text out; 1 / 0.
    uint32_t (*compute)(void* data, uint32_t* type, double* value, char** text);
    // Releases what the record holds, not the record itself.
    void (*free)(void* data);
};

// The quantities in keyword order, ended by a row whose keyword is null.
extern const DOHAN_ROW DOHAN_Table[];
