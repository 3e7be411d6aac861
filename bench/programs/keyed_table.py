"""keyed_table -- K string keys inserted into a keyed table, then L lookups of
keys drawn from the generator."""
import sys
from common import rnd


def main():
    k, lookups = int(sys.argv[1]), int(sys.argv[2])
    table = {}
    keys = []
    for i in range(1, k + 1):
        key = "key%d" % rnd()
        table[key] = i
        keys.append(key)
    total = 0
    for i in range(lookups):
        total += table[keys[rnd() % k]]
    print("keyed_table %d %d" % (len(table), total))


main()
