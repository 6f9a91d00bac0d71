#include "UFiscalReport.h"
