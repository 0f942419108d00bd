#pragma once

#include <utility>

// Where a test must stand in for the outside world (the disk, the file
// dialog, the browser), the program keeps the real thing in one static slot,
// and the owner's replaceForTesting() puts a stand-in there until the guard
// it returns goes out of scope; then the real thing is back.
template <typename T>
class [[nodiscard]] StandIn {
public:
    StandIn(T &slot, T standIn) : m_slot(&slot), m_real(std::exchange(slot, std::move(standIn))) {}
    StandIn(StandIn &&other) noexcept
        : m_slot(std::exchange(other.m_slot, nullptr)), m_real(std::move(other.m_real)) {}
    StandIn(const StandIn &) = delete;
    StandIn &operator=(const StandIn &) = delete;
    StandIn &operator=(StandIn &&) = delete;
    ~StandIn()
    {
        if (m_slot)
            *m_slot = std::move(m_real);
    }

private:
    T *m_slot;
    T m_real;
};
