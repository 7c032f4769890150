#include <windows.h>

#include <ole2.h>

#include "Exception.h"
#include "WinApp.h"

namespace {

// The file dialogs are COM objects on this thread's single-threaded apartment; OLE on top of it,
// so that drag and drop and the clipboard work inside their views. COM first, to keep OLE 1 DDE
// off; OleInitialize then finds the apartment and adds the rest.
class OleApartment {
public:
    OleApartment()
        : m_com(SUCCEEDED(
              ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))),
          m_ole(SUCCEEDED(::OleInitialize(nullptr))) {}
    ~OleApartment() {
        if (m_ole) ::OleUninitialize();
        if (m_com) ::CoUninitialize();
    }
    OleApartment(const OleApartment&) = delete;
    OleApartment& operator=(const OleApartment&) = delete;

private:
    bool m_com, m_ole;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const OleApartment apartment;
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
