// The bundled example programs run as real processes and print what they
// are meant to.  Each runs with VORN_DEBUG=leaks, which makes the library
// write, as it ends, how many records are still live beyond the start-up
// objects: every example must hand back everything it made.  The leak report
// itself finds a planted leak, and the CGI example answers through a real web
// server.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support.h"

using namespace vorn_test;

namespace {

const std::string examples = VORN_EXAMPLES_DIR;
const std::string all_handed_back = "vorn: 0 records live at exit beyond the start-up objects\n";

child_result run_example(const std::string &command_line)
{
    return run_command("VORN_DEBUG=leaks " + examples + "/" + command_line + " 2>&1");
}

}  // namespace

TEST(Examples, ProgramsPrintExactlyWhatTheyMeanAndHandBackEverything)
{
    scratch_dir dir;
    std::string text = dir.path("text.txt"), crash_file = dir.path("crash.err");
    std::ofstream(text) << "B a b, c! A b\r\na\n\nc's\n";  // a 3, b 3, c 2, s 1
    const std::tuple<std::string, int, std::string> runs[] = {
        {"first_program", 1,
         "greeting length 4, refcount 1, stored as bytes, text \"vorn\"\n"
         "numbers  length 3, refcount 1, stored as bytes, text \"ABC\"\n"
         "spaces   length 5, refcount 1, stored as bytes, text \".....\"\n"
         "after alias = numbers: refcount 2, same handle: yes\n"
         "alias    length 3, refcount 1, stored as bytes, text \"ZBC\"\n"
         "numbers  length 3, refcount 1, stored as bytes, text \"ABC\"\n"
         "numbers now holds 3 elements; greeting refcount 2\n"
         "RUN_TIME_ERROR : length of an atom is undefined\n"
         "crash routine: cleaning up before the end\n" +
             all_handed_back},
        {"wordfreq " + text, 0,
         "9 words, 4 different\n 1. a             3\n 2. b             3\n 3. c             2\n"
         " 4. s             1\n" +
             all_handed_back},
        {"crash_report " + crash_file, 1,
         "row 1 sums to 12\nrow 2 sums to 2\nrow 3 sums to 100\nrow 4 sums to 7\nrow 5 sums to 6\n"
         "RUN_TIME_ERROR : subscript : subscript 6 out of range [1 .. 5]\n"
         "crash routine: sums so far {12,2,100,7,6}\ncrash routine: goodbye\n--> see " +
             crash_file + "\n" + all_handed_back},
    };
    for (const auto &[command, status, out] : runs) {
        auto r = run_example(command);
        EXPECT_EQ(r.status, status) << command;
        EXPECT_EQ(r.out, out) << command;
    }
    auto missing = run_command(examples + "/wordfreq /nonexistent/text.txt");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "wordfreq: cannot open /nonexistent/text.txt\n");
    std::string report = file_contents(crash_file);
    EXPECT_EQ(report.substr(report.find('\n') + 1), "subscript : subscript 6 out of range [1 .. 5]\n\n");

    // The README's main command runs this: the bundled text, no argument.
    std::string out = run_example("wordfreq").out;
    EXPECT_EQ(out.rfind("71551 words, 318 different\n 1. the       17036\n 2. of         8443\n", 0), 0u);
    EXPECT_NE(out.find("\n20. be          424\n" + all_handed_back), std::string::npos) << out;
}

TEST(Kit, LeakReportListsWhatTheProgramStillHolds)
{
    for (bool debug : {true, false}) {
        auto r = run_child([debug] {
            setenv("VORN_DEBUG", debug ? "x,leaks" : "", 1);
            dup2(1, 2);
            char arg0[] = "kit", *argv[] = {arg0, nullptr};
            vorn_start(1, argv);
            static vorn_handle kept;
            assign(&kept, build_sequence(2, build_string("hi"), make_double(2.5)));  // the planted leak
            vorn_discard(build_sequence(1, make_double(1.5)));                       // destroyed
            vorn_discard(kept);                                                      // held: stays
            std::printf("%d\n", vorn_live_records());
            vorn_stop();
            Pexit(0);
        });
        EXPECT_EQ(r.status, 0);
        std::string head = debug ? "3\nvorn: 3 records live at exit beyond the start-up objects\n" : "3\n";
        ASSERT_EQ(r.out.substr(0, head.size()), head);
        for (const char *shown :
             {", count 1: {104,105}\n", ", count 1: 2.5\n", ", count 1: {{104,105},2.5}\n"})
            EXPECT_EQ(r.out.find(shown) != std::string::npos, debug) << r.out;
    }
}

TEST(Kit, CgiProgramAnswersThroughAWebServer)
{
    const char *server = "/usr/sbin/lighttpd";
    if (access(server, X_OK) != 0)
        GTEST_SKIP() << "lighttpd is not installed (tools/test.sh installs it)";
    scratch_dir dir;
    std::filesystem::copy_file(std::string(VORN_EXAMPLES_DIR) + "/web_greeting", dir.path("greeting.cgi"));
    int s = socket(AF_INET, SOCK_STREAM, 0);  // a free port on the loopback
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    bind(s, reinterpret_cast<sockaddr *>(&a), n);
    getsockname(s, reinterpret_cast<sockaddr *>(&a), &n);
    close(s);
    int port = ntohs(a.sin_port);
    std::ofstream(dir.path("lighttpd.conf"))
        << "server.modules = (\"mod_cgi\")\nserver.document-root = \"" << dir.path("") << "\"\n"
        << "server.bind = \"127.0.0.1\"\nserver.port = " << port << "\nserver.errorlog = \""
        << dir.path("error.log") << "\"\ncgi.assign = (\".cgi\" => \"\")\n";
    pid_t pid = fork();
    if (pid == 0) {
        execl(server, server, "-D", "-f", dir.path("lighttpd.conf").c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    std::string url = "http://127.0.0.1:" + std::to_string(port) + "/greeting.cgi?name=Ada+L%3Cb%3E";
    child_result r;
    for (int tries = 0; tries < 50 && r.out.find("HTTP/") == std::string::npos; ++tries) {
        usleep(100000);
        r = run_command("curl -s -i --max-time 5 '" + url + "'");
    }
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    EXPECT_EQ(r.out.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << r.out << file_contents(dir.path("error.log"));
    EXPECT_NE(r.out.find("\r\nContent-Type: text/html\r\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\r\n\r\n<!DOCTYPE html>\n<html><head><title>Greeting</title></head>\n"
                         "<body><h1>Hello, Ada L3Cb3E!</h1><p>Asked by GET.</p></body></html>\n"
                         "<!-- live records: 0 -->\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
}
