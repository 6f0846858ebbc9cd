// The table of data-value node types. The node types themselves are not built
// yet: the table holds only its end row, so no node type matches.
#include "dataout/dvhan.h"

const DVHAN_ROW DVHAN_Table[] = {
    {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
};
