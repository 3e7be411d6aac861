// The library exports exactly the names its public header declares: nothing
// internal leaks out, nothing declared is missing.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "support.h"

using namespace vorn_test;

namespace {

// Every name declared with VORN_API: the symbol of an asm label when the
// declaration has one (C++ names for keyword symbols), else the identifier
// just before the first '(', '[' or ';' of the declaration.
std::set<std::string> declared_names()
{
    std::ifstream header(VORN_HEADER);
    std::set<std::string> names;
    std::string line;
    static const std::regex last_identifier(R"(([A-Za-z_][A-Za-z0-9_]*)\s*$)");
    static const std::regex asm_label(R"re(__asm__\("([A-Za-z_][A-Za-z0-9_]*)"\))re");
    while (std::getline(header, line)) {
        size_t at = line.find("VORN_API ");
        if (at != 0)
            continue;
        std::smatch m;
        if (std::regex_search(line, m, asm_label)) {
            names.insert(m[1]);
            continue;
        }
        std::string head = line.substr(0, line.find_first_of("([;"));
        if (std::regex_search(head, m, last_identifier))
            names.insert(m[1]);
    }
    return names;
}

// Defined dynamic symbols of the library, less what the linker and the
// sanitizers add to every shared object.
std::set<std::string> exported_names()
{
    auto r = run_command(std::string("nm -D --defined-only ") + VORN_LIBRARY);
    EXPECT_EQ(r.status, 0);
    static const std::set<std::string> linker = {"_init", "_fini", "__bss_start", "_edata", "_end"};
    std::set<std::string> names;
    std::istringstream lines(r.out);
    std::string line;
    while (std::getline(lines, line)) {
        std::string name = line.substr(line.find_last_of(' ') + 1);
        if (linker.count(name) || name.rfind("__odr_asan", 0) == 0 || name.rfind("__asan", 0) == 0)
            continue;
        names.insert(name);
    }
    return names;
}

}  // namespace

TEST(Exports, LibraryExportsExactlyTheHeader)
{
    std::set<std::string> declared = declared_names();
    std::set<std::string> exported = exported_names();
    ASSERT_GT(declared.size(), 50u);
    for (const auto &name : exported)
        EXPECT_TRUE(declared.count(name)) << name << " is exported but not declared";
    for (const auto &name : declared)
        EXPECT_TRUE(exported.count(name)) << name << " is declared but not exported";
}
