// The Japanese era list that Windows keeps in the registry, where an update adds a new era
// before it begins, merged with the built-in table. Wine keeps none: the table alone.
#pragma once

#include "support/JapaneseEra.h"

namespace vo::win {

// Read at the first call (only a time signal's era tokens ask, never the tick) and kept
// until ForgetSystemJapaneseEras.
const JapaneseEraList& SystemJapaneseEras();

// On a settings change: the next call reads the list again.
void ForgetSystemJapaneseEras();

}  // namespace vo::win
