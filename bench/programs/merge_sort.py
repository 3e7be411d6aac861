"""merge_sort -- N integers sorted by a merge sort that slices and joins
sequences, then a checksum of the sorted order."""
import sys
from common import rnd

sys.setrecursionlimit(10000)


def msort(s):
    n = len(s)
    if n <= 1:
        return s
    mid = n // 2
    a = msort(s[:mid])
    b = msort(s[mid:])
    r = []
    i = j = 0
    while i < len(a) and j < len(b):
        if a[i] <= b[j]:
            r.append(a[i])
            i += 1
        else:
            r.append(b[j])
            j += 1
    return r + a[i:] + b[j:]


def main():
    n = int(sys.argv[1])
    s = []
    for i in range(n):
        s.append(rnd())
    s = msort(s)
    total = 0
    for i in range(len(s)):
        total += s[i] * (i + 1)
    print("merge_sort %d %d" % (len(s), total))


main()
