#include "UFiscalTables.h"
