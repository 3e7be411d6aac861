"""append_sum -- N integers appended one at a time, then summed by subscript."""
import sys
from common import rnd


def main():
    n = int(sys.argv[1])
    s = []
    for i in range(n):
        s.append(rnd())
    total = 0
    for i in range(len(s)):
        total += s[i]
    print("append_sum %d %d" % (len(s), total))


main()
