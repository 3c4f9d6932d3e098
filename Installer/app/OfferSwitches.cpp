// The shipped offer switches, from the build settings in the command table. An executable that
// defines OfferedCommands itself (the all-offers test build) does not pull this object from the
// library.
#include "app/OfferSwitches.h"

OfferSet OfferedCommands() noexcept
{
    return OfferedByBuild();
}
