"""format_lines -- M formatted lines written to a file, then its size."""
import sys
from common import rnd


def main():
    m, path = int(sys.argv[1]), sys.argv[2]
    with open(path, "w") as f:
        for i in range(1, m + 1):
            f.write("%d %s %.3f\n" % (i, "item", rnd() / 7))
    with open(path, "r") as f:
        f.seek(0, 2)
        size = f.tell()
    print("format_lines %d" % size)


main()
