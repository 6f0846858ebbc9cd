// The table of recordable quantities. The quantities themselves are not built
// yet: the table holds only its end row, so no keyword matches.
#include "dataout/dohan.h"

const DOHAN_ROW DOHAN_Table[] = {
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};
