#include "app/win32/Win32Accessibility.h"

#include <initguid.h>
// initguid.h first: the header below then defines the identifiers it declares, here only.
#include <oleacc.h>

#include <array>
#include <string>

#include "app/win32/WideText.h"

namespace flashtool::win32 {

namespace {

LPCWSTR Wide(const std::u16string& text) {
    return reinterpret_cast<LPCWSTR>(text.c_str());
}

}  // namespace

Win32Accessibility::Win32Accessibility() {
    if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IAccPropServices, reinterpret_cast<void**>(&services)))) {
        services = nullptr;
    }
}

Win32Accessibility::~Win32Accessibility() {
    if (services != nullptr) {
        services->Release();
    }
}

void Win32Accessibility::SetName(HWND control, std::string_view name) {
    if (services != nullptr) {
        services->SetHwndPropStr(control, OBJID_CLIENT, CHILDID_SELF, PROPID_ACC_NAME,
                                 Wide(WidenBytes(name)));
    }
}

void Win32Accessibility::SetTreeItemDescription(HWND tree, HTREEITEM item,
                                                std::string_view description) {
    if (services == nullptr) {
        return;
    }
    // The tree's accessible children are numbered by the control itself.
    const DWORD child = TreeView_MapHTREEITEMToAccID(tree, item);
    if (description.empty()) {
        std::array<MSAAPROPID, 1> props{PROPID_ACC_DESCRIPTION};
        services->ClearHwndProps(tree, OBJID_CLIENT, child, props.data(), props.size());
    } else {
        services->SetHwndPropStr(tree, OBJID_CLIENT, child, PROPID_ACC_DESCRIPTION,
                                 Wide(WidenBytes(description)));
    }
}

void Win32Accessibility::Clear(HWND control) {
    if (services == nullptr) {
        return;
    }
    std::array<MSAAPROPID, 2> props{PROPID_ACC_NAME, PROPID_ACC_DESCRIPTION};
    services->ClearHwndProps(control, OBJID_CLIENT, CHILDID_SELF, props.data(), props.size());
}

}  // namespace flashtool::win32
