#include "app/win32/Win32Application.h"

#include <windows.h>
// windows.h first: the common controls header relies on its types.
#include <commctrl.h>
#include <fcntl.h>
#include <io.h>
#include <objbase.h>

#include <array>
#include <cstdio>
#include <string>

#include "app/win32/WideText.h"
#include "app/win32/Win32DialogWindow.h"
#include "core/InstanceLock.h"
#include "data/EmbeddedRegion.h"

namespace flashtool::win32 {

namespace {

// The program's icon in its resources (flashtool.rc).
constexpr int kIconResource = 1;

// The trace goes to standard output byte for byte, as on Linux: in the C library's text
// mode each line feed would become CR LF. A program started from a desktop has no
// standard output, and its lines go nowhere.
void PrepareStandardOutput() {
    _setmode(_fileno(stdout), _O_BINARY);
}

// The accessibility layer is a COM service of the window's thread; COM outlives the window.
class ComApartment {
public:
    ComApartment() : result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment() {
        if (SUCCEEDED(result)) {
            CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT result;
};

}  // namespace

int RunFlashTool(std::string_view program, bool singleInstance,
                 const std::function<std::unique_ptr<PassThroughBackend>()>& makeBackend,
                 SystemRestart& restart, SleepInhibitor& inhibitor, Clock& clock,
                 DiagnosticSink& diagnostics, const std::function<void(FlashDialog&)>& wire) {
    PrepareStandardOutput();
    // One copy per session of the product; the emulated one touches no drive.
    const std::u16string title = WidenBytes(program);
    std::unique_ptr<InstanceLock> lock;
    if (singleInstance) {
        lock = InstanceLock::Acquire(program);
        if (!lock) {
            std::fprintf(stderr, "%s\n", std::string(kAnotherCopyRunning).c_str());
            std::fflush(stderr);
            const std::u16string text = WidenBytes(kAnotherCopyRunning);
            MessageBoxW(nullptr, reinterpret_cast<LPCWSTR>(text.c_str()),
                        reinterpret_cast<LPCWSTR>(title.c_str()), MB_OK | MB_ICONEXCLAMATION);
            return 1;
        }
    }
    const ComApartment com;
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_TREEVIEW_CLASSES |
                                                                          ICC_PROGRESS_CLASS |
                                                                          ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIconResource));
    Win32DialogWindow window(title, icon);
    FlashDialog dialog(FlashDialogParts{window, makeBackend(), EmbeddedStoredRegion(), restart,
                                        clock, diagnostics, inhibitor});
    window.SetHandlers(&dialog);
    if (wire) {
        wire(dialog);
    }
    window.RunModal();
    return 0;
}

}  // namespace flashtool::win32
