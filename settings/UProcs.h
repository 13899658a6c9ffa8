// Defaults of a new set, the check before a run and the device image encoder.
#pragma once

#include "UDecls.h"

#include <string>

// Gives Settings the values of a new set and empties CurrentFileName.
void SetDefaultSettings();

// Examines Settings before a run; empty means acceptable. The text is UTF-8.
std::string CheckSettings();
// The same check of any set (a unit's set made in a station's thread).
std::string CheckSettingsOf(const TSettings &Set);

// Rebuilds all of DeviceImage from Settings.
void EncodeDeviceImage();
