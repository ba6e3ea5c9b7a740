// Readings, printer information queries, clock and movement date, Z data and fiscal files.
#pragma once
#include "fiscal/queries.h"
#include "fiscal/clock.h"
