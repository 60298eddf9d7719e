#include "transport/windows/WindowsBackend.h"

#include "transport/windows/AspiBackend.h"
#include "transport/windows/SptiBackend.h"

namespace flashtool {

std::unique_ptr<PassThroughBackend> MakeWindowsBackend(std::shared_ptr<Win32Api> api,
                                                       Clock& clock) {
    // The choice comes when the program starts, before the start-up notice. That is
    // harmless because asking the version only reads it: it opens no drive and loads no
    // library. Everything that does (the ASPI library, the volumes) stays in the chosen
    // back-end's Start and discovery, after the notice is accepted, so declining the notice
    // still touches no drive.
    Win32Version version;
    if (api->GetVersionExA(version) && version.platformId == kPlatformWin32Nt) {
        return std::make_unique<SptiBackend>(std::move(api));
    }
    return std::make_unique<AspiBackend>(std::move(api), clock);
}

}  // namespace flashtool
