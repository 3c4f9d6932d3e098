// Every command offered: the build the window tests use for the full column.
#include "app/OfferSwitches.h"

OfferSet OfferedCommands() noexcept
{
    OfferSet all;
    all.fill(true);
    return all;
}
