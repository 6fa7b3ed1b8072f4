// The formatter's locale texts and the current time, from the platform.
#pragma once

#include "support/DateFormat.h"
#include "support/DateTime.h"

namespace vo::win {

// Month and day names, separators and language of the thread locale, with the era
// texts of its alternate calendar (Japanese eras from the system's list and our own table).
FormatSettings LoadFormatSettings();

// On WM_WININICHANGE: back to the user default locale, then the separators and the
// language read again. Month and day names keep their start-up texts.
void ReloadSeparators(FormatSettings& settings);

// The local date and time, to the millisecond.
DateTime CurrentStamp();

}  // namespace vo::win
