#pragma once

#include <atomic>
#include <string>
#include <string_view>

namespace RUROR
{

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

// The support library's object root: asks an object for one of its interfaces.
class IObject : public virtual SegRefCountedObject
{
public:
    // Stores this object as the interface named iid in *out and adds a reference; false when
    // it has no such interface.
    virtual bool QueryInterface(const char* iid, void** out) = 0;
};

// A place where the system log writes its records (the log file, a test's buffer).
class ILogOutStream : public virtual IObject
{
public:
    static constexpr const char* IID = "RUROR.ILogOutStream";

    // Takes one finished record (line break included) from the system log; source names the
    // writer. Called from any thread; the texts are read during the call only.
    virtual void Write(std::wstring_view source, std::wstring_view text) = 0;
    // Starts whatever the stream needs to deliver records; called once it is configured.
    virtual void Open() {}
    // Delivers what is pending and stops; called after the stream is detached.
    virtual void Close() {}
    // The stream's own level setting.
    virtual int GetLevel() const { return 4; }
    // Pushes out what is buffered. Called from any thread.
    virtual void Flush() {}

    bool QueryInterface(const char* iid, void** out) override;
};

} // namespace RUROR
