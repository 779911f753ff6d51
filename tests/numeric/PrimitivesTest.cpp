#include "numeric/Primitives.h"
