#include "SystemError.h"

#include "SystemErrorMessage.h"
#include "Utf8.h"

std::string SystemErrorText(int code) {
    // A clause in a line of the converter's, as strerror's texts are: no closing period.
    std::wstring message = SystemErrorMessage(static_cast<DWORD>(code));
    while (message.size() > 1 && message.back() == L'.') message.pop_back();
    return Utf8FromWide(message);
}

void FailWritesPastFileSizeLimit() {
    // No signal here: such a write fails by itself.
}
