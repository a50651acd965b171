#include "platform/WakeFd.h"

#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace rz
{

CWakeFd::CWakeFd() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CWakeFd::~CWakeFd()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void CWakeFd::Wake()
{
    const uint64_t one = 1;
    if (m_fd >= 0) [[maybe_unused]]
        const auto written = ::write(m_fd, &one, sizeof one);
}

void CWakeFd::Clear()
{
    uint64_t count = 0;
    if (m_fd >= 0) [[maybe_unused]]
        const auto read = ::read(m_fd, &count, sizeof count);
}

} // namespace rz
