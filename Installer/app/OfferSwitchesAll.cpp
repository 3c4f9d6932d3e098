// Every command offered: the build the window tests use for the full column.
#include "app/OfferSwitches.h"

const bool g_bOfferWifi = true;
const bool g_bOfferBluetooth = true;
const bool g_bOfferHotspot = true;
const bool g_bOfferReceiver = true;
