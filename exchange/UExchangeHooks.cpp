#include "exchange/UExchangeHooks.h"
