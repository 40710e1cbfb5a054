#pragma once

#include "Localeset.h"

// The locale settings the entry controls format and read with. The program
// reads them once at start-up and installs them here before creating any
// window; until then (and in tests that do not set them) they are the C
// locale's defaults.
const quillon::LocaleSettings &ControlLocale();
void SetControlLocale(const quillon::LocaleSettings &settings);
