// The library exports exactly the names its public header declares: nothing
// internal leaks out, nothing declared is missing.
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "support.h"

using namespace vorn_test;

TEST(Exports, LibraryExportsExactlyTheHeader)
{
    // Every name declared with VORN_API: an asm label's symbol (for keyword names), else the
    // identifier just before the first '(', '[' or ';'.
    static const std::regex asm_label(R"re(__asm__\("([A-Za-z_][A-Za-z0-9_]*)"\))re");
    static const std::regex last_identifier(R"(([A-Za-z_][A-Za-z0-9_]*)\s*$)");
    std::set<std::string> declared, exported;
    std::ifstream header(VORN_HEADER);
    for (std::string line, head; std::getline(header, line);) {
        std::smatch m;
        head = line.substr(0, line.find_first_of("([;"));
        if (line.rfind("VORN_API ", 0) == 0 &&
            (std::regex_search(line, m, asm_label) || std::regex_search(head, m, last_identifier)))
            declared.insert(m[1]);
    }
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
    ASSERT_GT(declared.size(), 50u);
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
