#include "support/win/Application.h"

#include <algorithm>
#include <string>

#include "support/win/Locale.h"
#include "support/win/SystemEras.h"

namespace vo::win {

namespace {
bool IsPageKey(const MSG& message) {
  return message.message == WM_KEYDOWN && message.wParam == VK_TAB && GetKeyState(VK_CONTROL) < 0;
}
}  // namespace

Application& Application::Instance() {
  static Application application;
  return application;
}

WindowClass Application::Class() { return {.name = "voApplication", .programIcons = true}; }

void Application::Initialize(HINSTANCE instance, WORD programIcon) {
  instance_ = instance;
  programIcon_ = programIcon;
  format_ = LoadFormatSettings();
  // Never shown: it carries the title and owns the other windows.
  CreateBound(instance, 0, kApplicationTitle, WS_POPUP | WS_CAPTION, 0, 0, 0, 0, nullptr, nullptr,
              "vo を起動できません");
}

void Application::AddDialog(HWND dialog) {
  auto free = std::find(std::begin(dialogs_), std::end(dialogs_), nullptr);
  if (free != std::end(dialogs_)) *free = dialog;
}

void Application::RemoveDialog(HWND dialog) {
  std::replace(std::begin(dialogs_), std::end(dialogs_), dialog, HWND{});
}

bool Application::PreTranslate(MSG& message) const {
  return std::any_of(std::begin(dialogs_), std::end(dialogs_), [&](HWND dialog) {
    if (!dialog || !IsWindowVisible(dialog)) return false;
    if (IsPageKey(message) && (message.hwnd == dialog || IsChild(dialog, message.hwnd))) {
      SendMessageA(dialog, kTurnPageMessage, GetKeyState(VK_SHIFT) < 0 ? 0 : 1, 0);
      return true;
    }
    return IsDialogMessageA(dialog, &message) != FALSE;
  });
}

LRESULT Application::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_WININICHANGE:
      // Separators follow the regional settings; month and day names keep their start-up texts.
      // WM_SETTINGCHANGE is the same message: the era list may have changed too.
      ReloadSeparators(format_);
      ForgetSystemJapaneseEras();
      return 0;
    case WM_CLOSE:
      if (main_) SendMessageA(main_, WM_CLOSE, 0, 0);
      return 0;
    case WM_ENDSESSION:
      // The session ends: everything was saved when it was queried. The process may be ended
      // once this returns, so the program ends here.
      if (wParam && sessionEnd_) sessionEnd_();
      return 0;
    default:
      return Default(message, wParam, lParam);
  }
}

void SetProgramIcons(WNDCLASSEXA& windowClass) {
  const WORD icon = Application::Instance().ProgramIcon();
  if (icon == 0) return;
  const HINSTANCE instance = windowClass.hInstance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(icon));
  windowClass.hIconSm = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(icon), IMAGE_ICON,
                                                      GetSystemMetrics(SM_CXSMICON),
                                                      GetSystemMetrics(SM_CYSMICON), LR_SHARED));
}

void ShowApplicationError(std::string_view text) {
  std::string shown(text);
  // A sentence that ends in a Japanese full stop is complete as it is.
  const bool japaneseStop = shown.size() >= 2 && shown.compare(shown.size() - 2, 2, "。") == 0;
  if (!japaneseStop && (shown.empty() || shown.back() != '.')) shown += '.';
  MessageBoxA(Application::Instance().Window(), shown.c_str(), kApplicationTitle,
              MB_OK | MB_ICONERROR);
}

}  // namespace vo::win
