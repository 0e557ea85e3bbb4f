#pragma once

#include "support/SimWorldTest.h"

// A test with an empty simulated world that the test fills itself.
class EngineTest : public SimWorldTest {};
