// The library exports exactly the names its public header declares: nothing
// internal leaks out, nothing declared is missing, and each declaration has a
// comment of its own.
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "support.h"

using namespace vorn_test;

namespace {

// The header's lines, and each name declared with VORN_API with the index of
// its line: an asm label's symbol (for keyword names), else the identifier
// just before the first '(', '[' or ';'.
struct header_declarations {
    std::vector<std::string> lines;
    std::vector<std::pair<std::string, size_t>> names;
    header_declarations()
    {
        static const std::regex asm_label(R"re(__asm__\("(\w+)"\))re"), last_identifier(R"((\w+)\s*$)");
        std::ifstream header(VORN_HEADER);
        for (std::string line; std::getline(header, line);) {
            std::smatch m;
            std::string head = line.substr(0, line.find_first_of("([;"));
            if (line.rfind("VORN_API ", 0) == 0 &&
                (std::regex_search(line, m, asm_label) || std::regex_search(head, m, last_identifier)))
                names.emplace_back(m[1], lines.size());
            lines.push_back(line);
        }
    }
};

}  // namespace

TEST(Exports, LibraryExportsExactlyTheHeader)
{
    std::set<std::string> declared, exported;
    for (const auto &[name, line] : header_declarations().names)
        declared.insert(name);
    // Defined dynamic symbols, less what the linker and the sanitizers add to every library.
    auto r = run_command(std::string("nm -D --defined-only ") + VORN_LIBRARY);
    ASSERT_EQ(r.status, 0);
    const std::set<std::string> linker = {"_init", "_fini", "__bss_start", "_edata", "_end"};
    std::istringstream lines(r.out);
    for (std::string line, name; std::getline(lines, line);) {
        name = line.substr(line.find_last_of(' ') + 1);
        if (!linker.count(name) && name.rfind("__odr_asan", 0) != 0 && name.rfind("__asan", 0) != 0)
            exported.insert(name);
    }
    ASSERT_GT(declared.size(), 250u);
    for (const auto &name : exported)
        EXPECT_TRUE(declared.count(name)) << name << " is exported but not declared";
    for (const auto &name : declared)
        EXPECT_TRUE(exported.count(name)) << name << " is declared but not exported";
    // Every name a translated program may call or read is there.
    std::ifstream names(VORN_EXPORTED_NAMES);
    int listed = 0;
    for (std::string name; names >> name; ++listed)
        EXPECT_TRUE(exported.count(name)) << name << " is missing from the library";
    EXPECT_GT(listed, 280);
}

// A declaration has a comment of its own when a comment ends on its line or
// directly above it (continuation and preprocessor lines between them do
// not count).  One comment may head several consecutive declarations only
// by naming each of them; the first below it need not be named.
TEST(Exports, HeaderDocumentsEveryExportedName)
{
    header_declarations h;
    for (const auto &[name, i] : h.names) {
        const std::string &line = h.lines[i];
        std::string comment;
        bool first = true;
        size_t k = i;
        while (k > 0 && line.find("/*") == std::string::npos) {
            const std::string &above = h.lines[--k];
            bool declaration = above.rfind("VORN_API ", 0) == 0;
            if (!declaration && above.find("*/") != std::string::npos) {
                for (size_t c = k; c > 0 && comment.find("/*") == std::string::npos; --c)
                    comment = h.lines[c] + "\n" + comment;
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
}
