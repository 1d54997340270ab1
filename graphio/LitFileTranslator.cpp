#include "graphio/LitFileTranslator.h"
