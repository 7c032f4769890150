#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

// A fresh folder for one test, removed with everything in it at the end.
class TempDir {
public:
    TempDir() {
        static std::atomic<unsigned> counter{0};
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        do {
            m_path = std::filesystem::temp_directory_path() /
                     ("oscimo-test-" + std::to_string(stamp) + "-" + std::to_string(++counter));
        } while (!std::filesystem::create_directory(m_path));
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::filesystem::path& name) const {
        return m_path / name;
    }

private:
    std::filesystem::path m_path;
};

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush()) {
        throw std::runtime_error("cannot write test file " + path.string());
    }
}

// An acceleration recording of samples that are all zero, as a sparse file: big recordings that
// take no room. Its size may be changed later; the header is kZerosHeader.
inline const std::string kZerosHeader = "Tavomir Morvanex A 2 acceleration zeros\n";
inline std::filesystem::path WriteZeros(const std::filesystem::path& path, std::uint64_t samples,
                                        std::uint64_t extraBytes = 0) {
    WriteFile(path, kZerosHeader);
    std::filesystem::resize_file(path, kZerosHeader.size() + samples * 20 + extraBytes);
    return path;
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The names in a folder, sorted: what a test left behind.
inline std::vector<std::string> FolderContents(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return {names.begin(), names.end()};
}
