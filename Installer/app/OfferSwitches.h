#pragma once
// Which commands the window offers. Defined in one small .cpp per executable (the build's
// switches from the command table, or all of them for the test build) so that one app library
// serves both.

#include "workflows/Commands.h"

OfferSet OfferedCommands() noexcept;
