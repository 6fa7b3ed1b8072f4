#include "PlugIns/win/ApartModules.h"

namespace vo::win {

ApartModules::~ApartModules() = default;

std::unique_ptr<PlugInModule> ApartModules::Start(const std::string&, const std::wstring&,
                                                  Processor, HWND) {
  return nullptr;
}

}  // namespace vo::win
