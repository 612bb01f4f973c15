#!/usr/bin/env python3
"""Deterministic HTML pages for the end-to-end benchmark.

usage: gen_corpus.py OUTDIR [PAGES] [SEED]

Writes OUTDIR/p/NNNNN.html (about 30 KB each: head, style, navigation, articles with a little
non-ASCII text, a staff table with e-mail addresses, a footer) and OUTDIR/manifest.tsv with each
page's size and its e-mail match count (Python re, case-insensitive), so every tool's total can be
checked. Addresses are always followed by a non-word character, never by a line break, so joining
lines cannot merge two of them.
"""
import os
import random
import re
import sys

EMAIL = re.compile(r"[a-z0-9._%+-]+@[a-z0-9.-]+\.[a-z]{2,}", re.I)

WORDS = ("service archive quarterly meeting notes budget customer harbour bridge garden library "
         "schedule volunteer research museum station forecast delivery invoice workshop council "
         "Straße Göteborg Ærø Łódź café crème brûlée naïve coöperate résumé ¡hola! 東京 データ").split()
NAMES = "amira bruno chen dana eliska farid greta hugo ilse joao kira liam mona nadia oskar pia".split()
SURNAMES = "abara berg costa dahl eriksen fontaine gruber haddad ivanova jovanovic klein larsen".split()
DOMAINS = ("example.com post.example.net shop.example.org lists.example.edu mail.example.co.uk "
           "harbour-city.example.de").split()


def words(r, n):
    return " ".join(r.choice(WORDS) for _ in range(n))


def address(r):
    style = r.randrange(4)
    first, last = r.choice(NAMES), r.choice(SURNAMES)
    local = (first + "." + last, first[0] + last, "info", first + "_" + last + str(r.randrange(90)))[style]
    return local + "@" + r.choice(DOMAINS)


def page(i, seed):
    r = random.Random(seed * 1000003 + i)
    out = ["<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n",
           "<title>%s page %d</title>\n" % (words(r, 3).title(), i),
           "<meta name=\"description\" content=\"%s\">\n<style>\n" % words(r, 12)]
    for k in range(40):
        out.append(".c%d { margin: %dpx; padding: %dpx; color: #%06x; }\n" % (k, r.randrange(20), r.randrange(9),
                                                                             r.randrange(1 << 24)))
    out.append("</style>\n</head>\n<body>\n<nav><ul>\n")
    for k in range(25):
        out.append("  <li><a href=\"/section/%d/%s.html\">%s</a></li>\n" % (k, r.choice(WORDS), r.choice(WORDS)))
    out.append("</ul></nav>\n<main>\n")
    for k in range(22):
        out.append("<article class=\"c%d\">\n<h2>%s</h2>\n<p>%s, write to %s or see "
                   "<a href=\"https://www.example.org/%s\">more</a>. %s</p>\n"
                   % (k % 40, words(r, 5), words(r, 60), address(r), r.choice(WORDS), words(r, 45)))
        # An address broken by a blank does not match.
        out.append("<p>Not an address: %s at %s (ask %s)</p>\n</article>\n" % (r.choice(NAMES), r.choice(DOMAINS),
                                                                               address(r)))
    out.append("<table class=\"staff\">\n")
    for k in range(8):
        out.append("<tr><td>%s %s</td><td><a href=\"mailto:%s\">%s</a></td></tr>\n"
                   % (r.choice(NAMES).title(), r.choice(SURNAMES).title(), address(r), words(r, 2)))
    out.append("</table>\n</main>\n<footer><p>%s &middot; %s</p></footer>\n</body>\n</html>\n"
               % (words(r, 20), address(r)))
    return "".join(out)


def main():
    outdir = sys.argv[1]
    pages = int(sys.argv[2]) if len(sys.argv) > 2 else 2000
    seed = int(sys.argv[3]) if len(sys.argv) > 3 else 7
    os.makedirs(os.path.join(outdir, "p"), exist_ok=True)
    with open(os.path.join(outdir, "manifest.tsv"), "w") as manifest:
        manifest.write("page\tbytes\temail\n")
        for i in range(pages):
            data = page(i, seed).encode("utf-8")
            name = "%05d" % i
            with open(os.path.join(outdir, "p", name + ".html"), "wb") as f:
                f.write(data)
            count = len(EMAIL.findall(data.decode("utf-8").replace("\n", "")))
            manifest.write("%s\t%d\t%d\n" % (name, len(data), count))


if __name__ == "__main__":
    main()
