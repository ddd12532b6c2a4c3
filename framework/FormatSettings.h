// Reading the regional settings that the date and time texts follow: once at start-up from the
// thread's locale, and again when the system announces a change of settings.
//
//   ReadFormatSettings   the settings of one locale, with the defaults where an item is missing
//   GetFormatSettings    reads the thread's locale into the program-wide FormatSettings
#pragma once

#include "framework/DateTime.h"

// The settings of `locale` (a locale identifier); every item the locale cannot give takes its
// default.
TFormatSettings ReadFormatSettings(unsigned long locale);
void GetFormatSettings();
// The thread's locale becomes the user's default again and the settings are read anew.
void RefreshFormatSettings();
