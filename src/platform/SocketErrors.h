#pragma once

// The Windows Sockets error numbers the gateway's tools report, mapped from errno.
namespace rz
{

inline constexpr int WSAEADDRINUSE = 10048;

// The Windows Sockets number for an errno value (10048 for EADDRINUSE, ...); an errno with no
// counterpart gives 10000 plus its own number.
int WsaErrorFromErrno(int error);

} // namespace rz
