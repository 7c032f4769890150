#include "FileIdentity.h"

#include <windows.h>

#include <cstring>

#include "Utf8.h"

namespace {

bool g_withoutFileIds = false;

// The volume and the file's ID there: the 128-bit ID where the file system has one, else the
// volume serial and the 64-bit file index (FAT, exFAT, network drives, Windows 7). False for
// what is not a file on a disk.
bool IdOf(HANDLE handle, FILE_ID_INFO& id) {
    if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK) return false;
    if (!g_withoutFileIds && GetFileInformationByHandleEx(handle, FileIdInfo, &id, sizeof id)) {
        return true;
    }
    BY_HANDLE_FILE_INFORMATION file{};
    if (!GetFileInformationByHandle(handle, &file)) return false;
    id = {};
    id.VolumeSerialNumber = file.dwVolumeSerialNumber;
    const ULONGLONG index = (ULONGLONG{file.nFileIndexHigh} << 32) | file.nFileIndexLow;
    std::memcpy(id.FileId.Identifier, &index, sizeof index);
    return true;
}

// Asks for no access: a file another program holds without sharing still answers.
HANDLE LookAt(const std::filesystem::path& path) {
    return CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool IdOf(const std::filesystem::path& path, FILE_ID_INFO& id) {
    const HANDLE handle = LookAt(path);
    const bool known = IdOf(handle, id);
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    return known;
}

}  // namespace

void WithoutFileIdsForTesting(bool without) {
    g_withoutFileIds = without;
}

std::string FileIdentity(const std::filesystem::path& path) {
    const HANDLE handle = LookAt(path);
    if (handle == INVALID_HANDLE_VALUE) return {};
    FILE_ID_INFO id{};
    std::string identity;
    if (IdOf(handle, id)) {
        identity = std::to_string(id.VolumeSerialNumber) + ":";
        for (const BYTE byte : id.FileId.Identifier) identity += std::to_string(byte) + ".";
    } else {
        // No identity to be had: the path every link resolves to tells files apart instead.
        std::wstring final(32'768, L'\0');
        final.resize(
            GetFinalPathNameByHandleW(handle, final.data(), static_cast<DWORD>(final.size()), 0));
        identity = "path:" + Utf8FromWide(final);
    }
    CloseHandle(handle);
    return identity;
}

bool IsStandardOutput(const std::filesystem::path& path) {
    FILE_ID_INFO file{}, output{};
    // Wine cannot tell the volume of a handle its host opened (0): the file ID decides then.
    return IdOf(path, file) && IdOf(GetStdHandle(STD_OUTPUT_HANDLE), output) &&
           std::memcmp(&file.FileId, &output.FileId, sizeof file.FileId) == 0 &&
           (output.VolumeSerialNumber == 0 || output.VolumeSerialNumber == file.VolumeSerialNumber);
}
