#pragma once

#include <windows.h>

#include <shellapi.h>

#include "MessageMap.h"

// A window this layer dispatches messages to; m_hWnd is valid while the window exists.
class CWnd : public CCmdTarget {
public:
    HWND m_hWnd = nullptr;

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    // Files dropped from Explorer arrive as WM_DROPFILES.
    void DragAcceptFiles(BOOL accept = TRUE) const { ::DragAcceptFiles(m_hWnd, accept); }

protected:
    // Leaves the message being handled to the system's default handling.
    void Default() { m_defaultRequested = true; }

    bool m_defaultRequested = false;
};

// The hourglass for as long as it lives, on every way out, then the cursor there was before.
class CWaitCursor {
public:
    CWaitCursor() : m_previous(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT))) {}
    ~CWaitCursor() { ::SetCursor(m_previous); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

private:
    HCURSOR m_previous;
};

// The paint context of one WM_PAINT, released when it goes out of scope.
class CPaintDC {
public:
    explicit CPaintDC(CWnd* window) : m_hWnd(window->m_hWnd) {
        m_hDC = ::BeginPaint(m_hWnd, &m_ps);
    }
    ~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    HDC GetSafeHdc() const { return m_hDC; }
    BOOL DrawIcon(int x, int y, HICON icon) const { return ::DrawIcon(m_hDC, x, y, icon); }

private:
    HWND m_hWnd;
    HDC m_hDC;
    PAINTSTRUCT m_ps{};
};
