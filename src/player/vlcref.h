#pragma once

#include <utility>

namespace mavrel::vlc {

// Owns one reference to a libVLC object and gives it back with the object's release function.
// The only place, with the background release, where those functions are called.
template<typename T, void (*Release)(T *)> class Ref
{
public:
    Ref() = default;
    explicit Ref(T *object) : m_object(object) {}
    Ref(Ref &&other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
    Ref &operator=(Ref &&other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.m_object, nullptr));
        return *this;
    }
    Ref(const Ref &) = delete;
    Ref &operator=(const Ref &) = delete;
    ~Ref() { reset(); }

    T *get() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }
    void reset(T *object = nullptr)
    {
        if (m_object)
            Release(m_object);
        m_object = object;
    }

private:
    T *m_object = nullptr;
};

} // namespace mavrel::vlc
