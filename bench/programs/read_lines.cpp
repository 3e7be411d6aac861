// read_lines -- a large text file read line by line: lines and bytes counted.
#include <cstdio>
#include <fstream>
#include <string>

int main(int, char **argv)
{
    std::ifstream in(argv[1]);
    std::string line;
    long lines = 0, bytes = 0;
    while (std::getline(in, line)) {
        ++lines;
        bytes += static_cast<long>(line.size()) + 1;
    }
    std::printf("read_lines %ld %ld\n", lines, bytes);
}
