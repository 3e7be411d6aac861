"""find_match -- a 10 MB string searched R times: every 'z' by find, every
"zyxwv" by match."""
import sys
from common import rnd


def main():
    rounds = int(sys.argv[1])
    block = ""
    for i in range(625):
        block += chr(97 + rnd() % 16)
    s = block
    while len(s) < 10000000:
        s = s + s
    for k in range(1, 10):
        p = k * 1000003 - 1
        s = s[:p] + "z" + s[p + 1:]
        q = k * 1000003 + 500000 - 1
        s = s[:q] + "zyxwv" + s[q + 5:]
    found = matched = total = 0
    for r in range(rounds):
        p = s.find("z")
        while p >= 0:
            found += 1
            total += p + 1
            p = s.find("z", p + 1)
        p = s.find("zyxwv")
        while p >= 0:
            matched += 1
            total += p + 1
            p = s.find("zyxwv", p + 1)
    print("find_match %d %d %d %d" % (len(s), found, matched, total))


main()
