#include "invoicetesting.h"
