// The translator author's kit: the leak report finds a planted leak, every
// exported name in the header has a comment of its own, and the CGI example
// answers through a real web server.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "support.h"

using namespace vorn_test;

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

// A declaration has a comment of its own when a comment ends on its line or
// directly above it (continuation and preprocessor lines between them do
// not count).  One comment may head several consecutive declarations only
// by naming each of them; the first below it need not be named.
TEST(Kit, HeaderDocumentsEveryExportedName)
{
    static const std::regex asm_label(R"re(__asm__\("(\w+)"\))re"), name_re(R"((\w+)\s*$)");
    std::vector<std::string> lines;
    std::ifstream header(VORN_HEADER);
    for (std::string line; std::getline(header, line);)
        lines.push_back(line);
    int checked = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::smatch m;
        const std::string &line = lines[i], head = line.substr(0, line.find_first_of("([;"));
        if (line.rfind("VORN_API ", 0) != 0 ||
            !(std::regex_search(line, m, asm_label) || std::regex_search(head, m, name_re)))
            continue;
        ++checked;
        std::string name = m[1], comment;
        bool first = true;
        size_t k = i;
        while (k > 0 && line.find("/*") == std::string::npos) {
            const std::string &above = lines[--k];
            bool declaration = above.rfind("VORN_API ", 0) == 0;
            if (!declaration && above.find("*/") != std::string::npos) {
                for (size_t c = k; c > 0 && comment.find("/*") == std::string::npos; --c)
                    comment = lines[c] + "\n" + comment;
                break;
            }
            if (above.empty() || above.rfind("/*", 0) == 0 || above.rfind(" *", 0) == 0)
                break;
            first = first && !declaration;
        }
        bool named = std::regex_search(comment, std::regex("\\b" + name + "\\b"));
        bool own = line.find("/*") != std::string::npos || (!comment.empty() && (first || named));
        EXPECT_TRUE(own) << name << " (vorn.h line " << i + 1 << ") has no comment of its own";
    }
    EXPECT_GT(checked, 250);
}

namespace {

int free_port()
{
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    bind(s, reinterpret_cast<sockaddr *>(&a), n);
    getsockname(s, reinterpret_cast<sockaddr *>(&a), &n);
    close(s);
    return ntohs(a.sin_port);
}

}  // namespace

TEST(Kit, CgiProgramAnswersThroughAWebServer)
{
    const char *server = "/usr/sbin/lighttpd";
    if (access(server, X_OK) != 0)
        GTEST_SKIP() << "lighttpd is not installed (tools/test.sh installs it)";
    scratch_dir dir;
    std::filesystem::copy_file(std::string(VORN_EXAMPLES_DIR) + "/web_greeting", dir.path("greeting.cgi"));
    int port = free_port();
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
