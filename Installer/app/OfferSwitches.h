#pragma once
// Which commands the window offers. Defined in one small .cpp per executable (the shipped
// switches, or all four for the test build) so that one app library serves both.

extern const bool g_bOfferWifi;
extern const bool g_bOfferBluetooth;
extern const bool g_bOfferHotspot;
extern const bool g_bOfferReceiver;
