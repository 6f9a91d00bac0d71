#include "UFiscalMemory.h"
