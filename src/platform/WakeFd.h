#pragma once

namespace rz
{

// A descriptor that a worker thread polls beside its socket, so that another thread can end
// its wait at once (an eventfd).
class CWakeFd
{
public:
    CWakeFd();
    ~CWakeFd();
    CWakeFd(const CWakeFd&) = delete;
    CWakeFd& operator=(const CWakeFd&) = delete;

    // The descriptor to poll for POLLIN; -1 when the system could not make one.
    int Fd() const { return m_fd; }
    // Makes the descriptor readable; it stays so until Clear.
    void Wake();
    // Makes it unreadable again, for a worker that goes on after a wake-up.
    void Clear();

private:
    int m_fd;
};

} // namespace rz
