#pragma once

#include <windows.h>

#include <string>

#include "SystemErrorMessage.h"

// Failures the platform layer raises. GetErrorMessage fills text with the system's description.
class CException {
public:
    virtual ~CException() = default;
    virtual BOOL GetErrorMessage(LPWSTR text, UINT maxChars, PUINT helpContext = nullptr) const = 0;
};

// Shows one message box for the exception in flight; call only from a catch block. Window
// procedures call it so that no exception crosses the system's frames.
void ReportEscapedException() noexcept;
