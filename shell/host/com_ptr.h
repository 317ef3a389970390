#pragma once

#include <utility>

namespace zelshell {

/// Holds one reference to an interface and releases it at the end.
template <class I> class ComPtr {
public:
    ComPtr() = default;
    /// Takes over a reference the caller holds.
    explicit ComPtr(I* held) : m_p(held) {}
    ComPtr(const ComPtr& other) : m_p(other.m_p) {
        if (m_p)
            m_p->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(m_p, other.m_p);
        return *this;
    }
    ~ComPtr() {
        if (m_p)
            m_p->Release();
    }

    I* get() const { return m_p; }
    I* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    /// For an out parameter: releases what is held and hands out the slot.
    void** put() {
        *this = ComPtr();
        return reinterpret_cast<void**>(&m_p);
    }

private:
    I* m_p = nullptr;
};

} // namespace zelshell
