#include "solve/engine_options.h"

EngineOptions engine_options = ENGINE_OPTIONS_START;
