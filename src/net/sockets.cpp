// sockets.cpp -- TCP connections over BSD sockets: opening as a client, a
// server or by accepting, reading with a deadline, complete writes and
// closing, as plain routines and as the by-reference `__` forms.  Progress
// lines and failures are printed here; no failure is fatal.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <vorn.h>

#include "net.h"

namespace {

constexpr int host_room = 1024;  // the host text must fit with its zero byte
constexpr int listen_backlog = 10;
constexpr int accept_wait_ms = 1000;
constexpr int linger_seconds = 65535;

// ---- waiting -------------------------------------------------------------------

constexpr int readable = 1;
constexpr int writable = 2;

int64_t now_ms(clockid_t clock)
{
    timespec t;
    clock_gettime(clock, &t);
    return int64_t(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// Waits up to timeout_ms (-1: without limit) until fd is ready for what
// `want` names.  Gives the ready set (readable | writable), 0 when the time
// passed, -1 when the wait failed (errno says why).  Readiness is reported
// the way a select-style wait reports it: a hang-up counts as readable, an
// error as both; an invalid descriptor is a failure.
int wait_ready(int fd, int want, int timeout_ms)
{
    if (fd < 0) {
        errno = EBADF;
        return -1;
    }
    pollfd p{fd, static_cast<short>(((want & readable) ? POLLIN : 0) | ((want & writable) ? POLLOUT : 0)), 0};
    int64_t start = now_ms(CLOCK_MONOTONIC);
    int left = timeout_ms;
    while (poll(&p, 1, left) < 0) {
        if (errno != EINTR)
            return -1;
        if (timeout_ms >= 0)
            left = static_cast<int>(std::max<int64_t>(0, timeout_ms - (now_ms(CLOCK_MONOTONIC) - start)));
    }
    if (p.revents & POLLNVAL) {
        errno = EBADF;
        return -1;
    }
    int ready = 0;
    if (p.revents & (POLLIN | POLLHUP | POLLERR))
        ready |= readable;
    if (p.revents & (POLLOUT | POLLERR))
        ready |= writable;
    return ready;
}

// Milliseconds until the clock of `time` has passed `deadline` (whole
// seconds), at least 1 so that a poll loop never spins.
int ms_until_past(time_t deadline)
{
    int64_t ms = (int64_t(deadline) + 1) * 1000 - now_ms(CLOCK_REALTIME);
    return static_cast<int>(std::clamp<int64_t>(ms, 1, 1000000000));
}

// ---- opening -----------------------------------------------------------------

// A socket value is always above 0: descriptor 0 (free when standard input
// was closed) is moved to another number.
int above_zero(int fd)
{
    if (fd != 0)
        return fd;
    int moved = fcntl(fd, F_DUPFD_CLOEXEC, 1);
    close(fd);
    return moved;
}

// A new TCP socket with SO_REUSEADDR set, or -1.
int new_tcp_socket()
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0)
        return -1;
    fd = above_zero(fd);
    if (fd < 0)
        return -1;
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    return fd;
}

// Closes a socket that an open could not finish; the open's result is -1.
int32_t closed_failure(int fd)
{
    close(fd);
    return -1;
}

// Splits "host:port": the host is the text before the first colon (not
// empty, shorter than the host buffer), the port is read like atoi after it.
bool split_address(const char *address, char (&host)[host_room], int &port)
{
    const char *colon = address != nullptr ? std::strchr(address, ':') : nullptr;
    if (colon == nullptr || colon == address || colon - address >= host_room)
        return false;
    size_t n = static_cast<size_t>(colon - address);
    std::memcpy(host, address, n);
    host[n] = '\0';
    port = static_cast<int>(std::strtol(colon + 1, nullptr, 10));
    return true;
}

int32_t connect_client(int fd, const char *host, sockaddr_in &addr)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0) {
        std::printf("getHostbyname Failed for : %s\n", host);
        return closed_failure(fd);
    }
    addr.sin_addr = reinterpret_cast<sockaddr_in *>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    if (connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        std::printf("Connection Failed ");
        return closed_failure(fd);
    }
    std::printf("Connected to Server IP %s\n", inet_ntoa(addr.sin_addr));
    return fd;
}

int32_t start_server(int fd, sockaddr_in &addr, int port)
{
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        std::printf("Unable to bind port address ");
        return closed_failure(fd);
    }
    listen(fd, listen_backlog);
    std::puts("Server started");
    std::printf("Server IP %s\n", inet_ntoa(addr.sin_addr));
    std::printf("Server Port:  %d\n", port);
    return fd;
}

// Client, server or a wrong mode letter, from an address text.
int32_t open_address(const char *address, char letter)
{
    char host[host_room];
    int port = 0;
    if (!split_address(address, host, port)) {
        errno = EINVAL;
        std::perror("Incorrect adres ");
        return -1;
    }
    std::printf("host %s : %d\n", host, port);
    int fd = new_tcp_socket();
    if (fd < 0) {
        std::printf("Socket object Failed Creation ");
        return -1;
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (letter == 'c')
        return connect_client(fd, host, addr);
    if (letter == 's')
        return start_server(fd, addr, port);
    std::puts("illigaal mode optie");
    return closed_failure(fd);
}

// One connection from a listening socket, waiting at most a second for it.
int32_t accept_one(int listener)
{
    int ready = wait_ready(listener, readable, accept_wait_ms);
    if (ready < 0) {
        std::perror("Select Failed");
        return -3;
    }
    if (ready == 0)
        return 0;
    if (!(ready & readable))
        return -1;
    sockaddr_in peer{};
    socklen_t peer_len = sizeof peer;
    int fd = accept4(listener, reinterpret_cast<sockaddr *>(&peer), &peer_len, SOCK_CLOEXEC);
    if (fd < 0)
        return -1;
    fd = above_zero(fd);
    if (fd < 0)
        return -1;
    std::printf("Remote Port:  %d\n", ntohs(peer.sin_port));
    std::printf("Remote IP  :  %s\n", inet_ntoa(peer.sin_addr));
    // Closing waits for unsent data to be delivered.
    linger wanted{1, linger_seconds};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &wanted, sizeof wanted);
    linger got{};
    socklen_t got_len = sizeof got;
    getsockopt(fd, SOL_SOCKET, SO_LINGER, &got, &got_len);
    std::printf("onoff %i, linger %i, len %i\n", got.l_onoff, got.l_linger, static_cast<int>(got_len));
    return fd;
}

// ---- reading and writing -------------------------------------------------------

// One receive of at most size - 1 bytes into a cleared buffer, so the data is
// always followed by a zero byte.
int32_t receive_into(int fd, void *buffer, int32_t size)
{
    std::memset(buffer, 0, static_cast<size_t>(size));
    ssize_t n = recv(fd, buffer, static_cast<size_t>(size - 1), 0);
    if (n == 0) {
        std::puts("Recieved EOF");
        return -1;
    }
    if (n < 0) {
        std::puts("Recieve Failed");
        return -2;
    }
    return static_cast<int32_t>(n);
}

}  // namespace

extern "C" {

// Mode 'a': `address` carries the listening socket value in its place.
VORN_API int32_t netwerk_open(const char *address, const char *mode)
{
    char letter = mode != nullptr ? mode[0] : '\0';
    if (letter == 'a')
        return accept_one(static_cast<int>(reinterpret_cast<intptr_t>(address)));
    return open_address(address, letter);
}

// Receives once the socket is both readable and writable; the wait ends when
// the clock's second has passed now + limit.  While nothing is ready the
// routine sleeps in the wait instead of polling the clock.
VORN_API int32_t netwerk_read(int32_t sock, void *buffer, int32_t size, int32_t limit)
{
    if (size < 2) {  // no room for a byte and the zero after it
        std::puts("Recieve Failed");
        return -2;
    }
    const int both = readable | writable;
    time_t deadline = std::time(nullptr) + limit;
    for (;;) {
        int ready = wait_ready(sock, both, 0);
        if (ready == both)
            return receive_into(sock, buffer, size);
        if (ready >= 0 && std::time(nullptr) > deadline)
            return 0;
        if (ready < 0 || wait_ready(sock, both & ~ready, ms_until_past(deadline)) < 0) {
            std::perror("Select Failed");
            return -3;
        }
    }
}

VORN_API int32_t netwerk_write(int32_t sock, const void *buffer, int32_t count)
{
    const char *bytes = static_cast<const char *>(buffer);
    int32_t sent = 0;
    int32_t last = 0;
    while (sent < count) {
        ssize_t n = send(sock, bytes + sent, static_cast<size_t>(count - sent), MSG_NOSIGNAL);
        if (n < 0) {
            std::perror("Client SendData Failed");
            return -1;
        }
        last = static_cast<int32_t>(n);
        sent += last;
    }
    return last;
}

VORN_API int32_t netwerk_puts(int32_t sock, const char *text)
{
    return netwerk_write(sock, text, static_cast<int32_t>(std::strlen(text)));
}

VORN_API int32_t netwerk_close(int32_t sock) { return close(sock); }

// ---- the by-reference forms ----------------------------------------------------

VORN_API int32_t netwerk_open__(const void *address, const char *mode)
{
    if (mode != nullptr && mode[0] == 'a') {
        int32_t listener;
        std::memcpy(&listener, address, sizeof listener);
        return netwerk_open(reinterpret_cast<const char *>(static_cast<intptr_t>(listener)), mode);
    }
    return netwerk_open(static_cast<const char *>(address), mode);
}

VORN_API int32_t netwerk_read__(const int32_t *sock, void *buffer, const int32_t *size, const int32_t *limit)
{
    return vorn::net::low16(netwerk_read(*sock, buffer, *size, *limit));
}

VORN_API int32_t netwerk_write__(const int32_t *sock, const void *buffer, const int32_t *count)
{
    return vorn::net::low16(netwerk_write(*sock, buffer, *count));
}

VORN_API int32_t netwerk_puts__(const int32_t *sock, const void *buffer, int32_t count)
{
    return vorn::net::low16(netwerk_write(*sock, buffer, count));
}

VORN_API int32_t netwerk_close__(const int32_t *sock) { return netwerk_close(*sock); }

}  // extern "C"
