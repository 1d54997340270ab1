#include "graphio/CitationFileTranslator.h"
