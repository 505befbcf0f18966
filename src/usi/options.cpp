#include "usi/options.h"

EngineOptions engine_options = ENGINE_OPTIONS_START;
