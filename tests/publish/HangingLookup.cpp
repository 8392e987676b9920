// A name server that never answers, for a program started with this library in LD_PRELOAD:
// every name lookup waits a minute, whatever signals come, and then fails as a lookup that
// timed out does.

#include <netdb.h>

#include <chrono>
#include <thread>

extern "C" int getaddrinfo(const char *, const char *, const addrinfo *, addrinfo **)
{
    std::this_thread::sleep_for(std::chrono::minutes(1));
    return EAI_AGAIN;
}
