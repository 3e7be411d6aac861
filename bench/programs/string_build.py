"""string_build -- N characters appended one at a time, the string upper-cased,
one letter counted."""
import sys
from common import rnd


def main():
    n = int(sys.argv[1])
    s = ""
    for i in range(n):
        s += chr(97 + rnd() % 26)
    u = s.upper()
    count = 0
    for c in u:
        if c == "Q":
            count += 1
    print("string_build %d %d" % (len(u), count))


main()
