#pragma once

#include <unknwn.h>

// Owns one COM interface reference.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* operator->() const { return m_pointer; }
    T* Get() const { return m_pointer; }
    explicit operator bool() const { return m_pointer != nullptr; }

    // For functions that hand out a new reference.
    T** Receive() {
        Reset();
        return &m_pointer;
    }
    void Reset() {
        if (m_pointer) m_pointer->Release();
        m_pointer = nullptr;
    }

private:
    T* m_pointer = nullptr;
};
