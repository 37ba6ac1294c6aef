#include "Korvane.h"
