#include <system_error>

#include "ConsoleAndFiles.h"

PendingFile::PendingFile(std::filesystem::path target, std::filesystem::path temporary,
                         std::intptr_t handle)
    : m_target(std::move(target)), m_temporary(std::move(temporary)), m_handle(handle) {}

PendingFile::~PendingFile() {
    Close();
    if (!m_committed) {
        std::error_code ignored;
        std::filesystem::remove(m_temporary, ignored);
        Forget();
    }
}
