#pragma once

#include <atomic>
#include <string>

namespace RUROR
{

// The support library's object root: asks an object for one of its interfaces.
class IObject
{
public:
    virtual ~IObject() = default;
    // Stores this object as the interface named iid in *out; false when it has none such.
    virtual bool QueryInterface(const char* iid, void** out) = 0;
};

// Reference counting: an object starts with one reference, held by whoever made it.
class SegRefCountedObject
{
public:
    virtual ~SegRefCountedObject() = default;
    // Adds a reference; returns the new count.
    long duplicate() { return ++m_refs; }
    // Drops a reference and deletes the object at zero; returns the new count.
    long release()
    {
        const long left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }
    long refCount() const { return m_refs; }

private:
    std::atomic<long> m_refs{1};
};

// A place where the system log writes its records (the log file stream, a test's buffer).
class ILogOutStream : public SegRefCountedObject, public IObject
{
public:
    static constexpr const char* IID = "RUROR.ILogOutStream";

    // Takes one finished record, line break included. Called from any thread.
    virtual void Write(const std::wstring& record) = 0;
    // Pushes out what is buffered. Called from any thread.
    virtual void Flush() {}

    bool QueryInterface(const char* iid, void** out) override;
};

} // namespace RUROR
