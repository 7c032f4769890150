#include <windows.h>

#include <objbase.h>

#include "Exception.h"
#include "WinApp.h"

namespace {

// The file dialogs are COM objects on this thread's single-threaded apartment.
class ComApartment {
public:
    ComApartment()
        : m_initialized(SUCCEEDED(
              ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ComApartment() {
        if (m_initialized) ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool m_initialized;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const ComApartment apartment;
    CWinApp* app = AfxGetApp();
    if (!app) return 1;
    try {
        app->InitInstance();
    } catch (...) {
        ReportEscapedException();
        return 1;
    }
    return 0;
}
