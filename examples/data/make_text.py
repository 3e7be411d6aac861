#!/usr/bin/env python3
"""make_text.py -- writes text.txt, the text that examples/wordfreq.c counts
when it is given no file: some 300 KB of sentences drawn from a fixed word
list with a skewed (1/rank) frequency, so that a few words clearly lead.
The output depends on nothing but this script: a small linear congruential
generator drives every choice.

    python3 examples/data/make_text.py > examples/data/text.txt
"""
import sys

WORDS = """
the of and to in a is that it was for on are as with his they at be this
from have or by one had not but what all were when we there can an your which
their said if do will each about how up out them then she many some so these
would other into has more her two like him see time could no make than first
been its who now people my made over did down only way find use may water long
little very after words called just where most know get through back much go
good new write our me man too any day same right look think also around another
came come work three word must because does part even place well such here take
why things help put years different away again off went old number great tell
men say small every found still between name should home big give air line set
own under read last never us left end along while might next sound below saw
something thought both few those always looked show large often together asked
house world going want school important until form food keep children feet land
side without boy once animals life enough took sometimes four head above kind
began almost live page got earth need far hand high year mother light parts
country father let night following picture being study second eyes soon times
story boys since white days ever paper hard near sentence better best across
during today others however sure means knew its try told young miles sun ways
thing whole hear example heard several change answer room sea against top turned
learn point city play toward five using himself usually river lamp harbour
lantern keeper island storm gull rope tide shore cliff beacon signal fog ship
wind wave stone path tower window stair ladder night watch glass oil wick flame
""".split()

def main():
    seed = 20240611

    def rand(n):
        nonlocal seed
        seed = (seed * 1103515245 + 12345) % 2147483648
        return (seed >> 8) % n

    # Word r (0-based) has weight 1/(r+1): cumulative weights scaled to ints.
    weights = [1_000_000 // (r + 1) for r in range(len(WORDS))]
    total = sum(weights)

    def word():
        x = rand(total)
        for w, weight in zip(WORDS, weights):
            if x < weight:
                return w
            x -= weight
        return WORDS[-1]

    out, line, size = [], "", 0
    while size < 300_000:
        n = 5 + rand(12)
        words = [word() for _ in range(n)]
        words[0] = words[0].capitalize()
        if n > 8 and rand(3) == 0:
            words[n // 2] += ","
        sentence = " ".join(words) + ("?" if rand(10) == 0 else ".")
        for piece in sentence.split(" "):
            if len(line) + 1 + len(piece) > 72:
                out.append(line)
                size += len(line) + 1
                line = piece
            else:
                line = piece if not line else line + " " + piece
        if rand(8) == 0:
            out.append(line)
            out.append("")
            size += len(line) + 2
            line = ""
    if line:
        out.append(line)
    sys.stdout.write("\n".join(out) + "\n")

main()
