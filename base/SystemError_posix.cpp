#include "SystemError.h"

#include <csignal>
#include <cstring>

std::string SystemErrorText(int code) {
    return std::strerror(code);
}

void FailWritesPastFileSizeLimit() {
    // Ignored, SIGXFSZ leaves the write to fail with EFBIG.
    static const auto ignored = ::signal(SIGXFSZ, SIG_IGN);
    (void)ignored;
}
