#include "UExchangeHooks.h"
