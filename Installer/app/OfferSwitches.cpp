// The shipped offer switches, from the build settings. An executable that defines these
// globals itself (the all-offers test build) does not pull this object from the library.
#include "app/OfferSwitches.h"

#include "BuildConfig.h"

const bool g_bOfferWifi = KVZ_OFFER_WIFI != 0;
const bool g_bOfferBluetooth = KVZ_OFFER_BLUETOOTH != 0;
const bool g_bOfferHotspot = KVZ_OFFER_HOTSPOT != 0;
const bool g_bOfferReceiver = KVZ_OFFER_RECEIVER != 0;
