#pragma once

#include <string>

// Reads `property` of every instance of WMI class `className` in ROOT\CIMV2 into `value`
// (the last instance wins; with none, `value` keeps what it held). True when the query
// ran, false when COM or WMI failed before. Enters the multithreaded apartment for the
// call; a thread already in another apartment stays there and is left as it was.
bool QueryWmiProperty(const std::string& className, const std::wstring& property,
                      std::wstring& value);
