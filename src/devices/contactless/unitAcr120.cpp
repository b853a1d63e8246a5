#include "unitAcr120.h"
