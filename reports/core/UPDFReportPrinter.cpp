#include "UPDFReportPrinter.h"
