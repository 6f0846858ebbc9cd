// DVHAN: the table of data-value node types.
#pragma once
#include <cstdint>

// One node type: its keyword and the operations on a node's private record.
struct DVHAN_ROW {
    const char* keyword;
    // Reads the node's block lines up to and including "end", creates the record; 1 / 0.
    uint32_t (*parse)(void** data);
    // Links the record's sources and resets its state at run start; 1 / 0.
    uint32_t (*link)(void* data);
    // Releases the record's sources, not the record itself.
    void (*free)(void* data);
    // The node's typed value: type out, integer out, real out, text out; 1 / 0.
    uint32_t (*value)(void* data, uint32_t* type, int64_t* integer, double* real, char** text);
    // Optional: the node's sampling period in ms.
    uint32_t (*accuracy)(void* data);
    // Optional: called when the nodes are updated.
    void (*update)(void* data);
};

// The node types in keyword order, ended by a row whose keyword is null.
extern const DVHAN_ROW DVHAN_Table[];
