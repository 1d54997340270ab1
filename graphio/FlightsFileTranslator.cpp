#include "graphio/FlightsFileTranslator.h"
