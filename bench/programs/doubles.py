"""doubles -- element-wise v = v * 0.75 + 0.5 over N doubles, R times, then the
sum."""
import sys
from common import rnd


def main():
    n, rounds = int(sys.argv[1]), int(sys.argv[2])
    v = []
    for i in range(n):
        v.append(rnd() / 65537)
    for r in range(rounds):
        v = [x * 0.75 + 0.5 for x in v]
    total = 0.0
    for i in range(len(v)):
        total += v[i]
    print("doubles %.6f" % total)


main()
