// Sockets over real TCP connections on 127.0.0.1, made by the library itself:
// server, accept, client, data both ways (printing too), time-outs, a peer
// that closes, the printed messages and the by-reference forms.  Ports come
// from the system (port 0) and every test runs under an alarm, so nothing can hang.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <regex>

#include "support.h"

using namespace vorn_test;

namespace {

int socket_in(int32_t fn) { return static_cast<int>(reinterpret_cast<intptr_t>(files[fn])); }

int local_port(int fd)
{
    sockaddr_in a{};
    socklen_t n = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr *>(&a), &n);
    return ntohs(a.sin_port);
}

std::string loopback(int port) { return "127.0.0.1:" + std::to_string(port); }

template <typename F> double seconds(F f)
{
    auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

TEST(Sockets, FileNumbersCarryDataBothWays)
{
    alarm(30);
    init_files();
    leak_check leaks;
    ASSERT_EQ(wrap_open(make_string("127.0.0.1:0"), make_string("s")), 21);
    std::string to = loopback(local_port(socket_in(21)));
    EXPECT_GE(seconds([] { EXPECT_EQ(wrap_open(21, make_string("aw")), 0); }), 0.9);  // nobody came
    ASSERT_EQ(wrap_open(make_string(to.c_str()), make_string("c")), 22);              // 22 still free
    ASSERT_EQ(wrap_open(21, make_string("a")), 23);
    int client = socket_in(22), served = socket_in(23);

    EXPECT_EQ(netwerk_puts(client, "hello\r\nwor"), 10);
    EXPECT_EQ(take_bytes(wrap_gets(23)), "hello\n");
    EXPECT_EQ(netwerk_write(client, "ld\n", 3), 3);
    EXPECT_EQ(take_bytes(wrap_gets(23)), "world\n");
    EXPECT_EQ(netwerk_write(served, "\xC8Q\0z", 4), 4);
    EXPECT_EQ(wrap_getc(22), 200);
    EXPECT_EQ(wrap_getc(22), 'Q');
    EXPECT_EQ(take_bytes(wrap_get_bytes(22, 2)), std::string("\0z", 2));
    wrap_puts(22, make_string("hi"));
    wrap_puts(22, 0u);  // a zero byte as text: nothing
    wrap_putc(22, 0u);
    wrap_puts(22, make_double(66.2));
    wrap_print(22, build_sequence(2, 1u, make_double(0.5)));
    wrap_printf(22, make_string("%d!"), 5u);
    EXPECT_EQ(take_bytes(wrap_get_bytes(23, 13)), std::string("hi\0B{1,0.5}5!", 13));

    char buf[4];
    double waited = seconds([&] { EXPECT_EQ(netwerk_read(client, buf, 4, 1), 0); });
    EXPECT_GT(waited, 0.95);
    EXPECT_LT(waited, 2.5);
    EXPECT_LT(seconds([&] { EXPECT_EQ(netwerk_read(client, buf, 4, 0), 0); }), 1.5);

    EXPECT_EQ(netwerk_puts(client, "tail"), 4);
    wrap_close(22);
    EXPECT_EQ(take_bytes(wrap_gets(23)), "tail\n");
    EXPECT_EQ(wrap_gets(23), static_cast<vorn_handle>(-1));
    EXPECT_EQ(wrap_getc(23), -1);
    wrap_close(23);
    wrap_close(21);
    EXPECT_EQ(leaks.made(), 0);
    alarm(0);
}

TEST(Sockets, MessagesAndResults)
{
    int taken = socket(AF_INET, SOCK_STREAM, 0);  // bound, never listening
    sockaddr_in a{.sin_family = AF_INET, .sin_port = 0, .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
    ASSERT_EQ(bind(taken, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
    std::string refused = std::to_string(local_port(taken)), long_host = std::string(1024, 'h') + ":80";

    auto r = run_child([&] {
        alarm(20);
        std::setvbuf(stdout, nullptr, _IONBF, 0);
        dup2(1, 2);  // perror's lines join the transcript in order
        auto show = [](int32_t v) { std::printf("= %d\n", v); };
        int32_t server = netwerk_open("localhost:0", "s");
        std::printf("P=%d\n", local_port(server));
        show(netwerk_open(("127.0.0.1:" + refused).c_str(), "c"));
        show(netwerk_open(long_host.c_str(), "c"));
        show(netwerk_open("127.0.0.1:65537", "q"));
        int32_t client = netwerk_open(loopback(local_port(server)).c_str(), "c");
        std::printf("C=%d\n", local_port(client));
        int32_t served = netwerk_open__(&server, "a");
        show(served > 0);
        std::string big(40000, 'b');
        int32_t count = 40000, size = 40001, limit = 1, small = 1;
        show(netwerk_write__(&client, big.data(), &count));
        for (int queued = 0, tries = 0; queued < count && tries < 2000; ++tries, usleep(1000))
            ioctl(served, FIONREAD, &queued);
        show(netwerk_read__(&served, &big[0], &size, &limit));
        show(netwerk_puts__(&client, "abcdef", 3));
        show(netwerk_read(served, &big[0], 8, 1));
        std::printf("%s\n", big.c_str());
        show(netwerk_read__(&served, &big[0], &small, &limit));
        show(netwerk_close__(&client));
        show(netwerk_read(served, &big[0], 8, 1));
        show(netwerk_close(served));
        show(netwerk_read(served, &big[0], 8, 1));
        show(netwerk_write(served, "x", 1));
        show(netwerk_open(reinterpret_cast<const char *>(static_cast<intptr_t>(served)), "a"));
        show(netwerk_write(server, "", 0));
        show(netwerk_init__() + netwerk_end__());
    });
    close(taken);
    std::string want = "host localhost : 0\nServer started\nServer IP 0.0.0.0\nServer Port:  0\nP=([0-9]+)\n"
                       "host 127.0.0.1 : " +
                       refused +
                       "\nConnection Failed = -1\n"
                       "Incorrect adres : Invalid argument\n= -1\n"
                       "host 127.0.0.1 : 65537\nilligaal mode optie\n= -1\n"
                       "host 127.0.0.1 : \\1\nConnected to Server IP 127.0.0.1\nC=([0-9]+)\n"
                       "Remote Port:  \\2\nRemote IP  :  127.0.0.1\n"
                       "onoff 1, linger 65535, len 8\n= 1\n"
                       "= -25536\n= -25536\n= 3\n= 3\nabc\n"
                       "Recieve Failed\n= -2\n= 0\n"
                       "Recieved EOF\n= -1\n= 0\n"
                       "Select Failed: Bad file descriptor\n= -3\n"
                       "Client SendData Failed: Bad file descriptor\n= -1\n"
                       "Select Failed: Bad file descriptor\n= -3\n"
                       "= 0\n= 0\n";
    EXPECT_TRUE(std::regex_match(r.out, std::regex(want))) << r.out;  // \1, \2: the ports printed
    EXPECT_EQ(r.status, 0);
}
