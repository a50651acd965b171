#pragma once

#include <cstdint>

// The base of every event: a type number fixed at construction. Events are built by the
// notifier for one delivery and destroyed by their creator.
class CEventBase
{
public:
    explicit CEventBase(uint32_t type) : m_type(type) {}
    virtual ~CEventBase() = default;

    virtual uint32_t GetType() const { return m_type; }
    virtual bool IsType(uint32_t type) const { return type == m_type; }

private:
    uint32_t m_type;
};
