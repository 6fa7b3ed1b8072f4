// The processor a module file is built for, read from the file itself.
#pragma once

#include <string>

#include "PlugIns/Processor.h"

namespace vo::win {

// The machine named by the file's headers; kUnknown for a file that cannot be read or is no
// image of either processor.
Processor ProcessorOfFile(const std::wstring& file);

}  // namespace vo::win
