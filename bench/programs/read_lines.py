"""read_lines -- a large text file read line by line: lines and bytes counted."""
import sys


def main():
    lines = 0
    size = 0
    with open(sys.argv[1], "r") as f:
        for line in f:
            lines += 1
            size += len(line)
    print("read_lines %d %d" % (lines, size))


main()
