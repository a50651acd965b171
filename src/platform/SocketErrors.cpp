#include "platform/SocketErrors.h"

#include <cerrno>

namespace rz
{

int WsaErrorFromErrno(int error)
{
    switch (error)
    {
    case EINTR:
        return 10004;
    case EBADF:
        return 10009;
    case EACCES:
        return 10013;
    case EFAULT:
        return 10014;
    case EINVAL:
        return 10022;
    case EMFILE:
        return 10024;
    case EWOULDBLOCK:
        return 10035;
    case ENOTSOCK:
        return 10038;
    case EMSGSIZE:
        return 10040;
    case EPROTONOSUPPORT:
        return 10043;
    case EAFNOSUPPORT:
        return 10047;
    case EADDRINUSE:
        return WSAEADDRINUSE;
    case EADDRNOTAVAIL:
        return 10049;
    case ENETDOWN:
        return 10050;
    case ENETUNREACH:
        return 10051;
    case ENOBUFS:
        return 10055;
    case ECONNREFUSED:
        return 10061;
    case EHOSTUNREACH:
        return 10065;
    default:
        return 10000 + error;
    }
}

} // namespace rz
