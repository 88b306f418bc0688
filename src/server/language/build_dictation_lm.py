#!/usr/bin/env python3
"""Builds the dictation language model (ARPA trigram) from written dictation text.

The text is written as a user wants it to appear; each line is turned into what a user says to get
it ("Hello, how are you?" -> "hello comma how are you question mark"), so the model learns where
spoken punctuation and line commands fall. Smoothing is interpolated absolute discounting, stored in
backoff form, which pocketsphinx reads as any ARPA file.

usage: build_dictation_lm.py TEXT OUT.arpa
"""

import collections
import math
import re
import sys

DISCOUNT = 0.5

# Each mark and the spoken forms a user may use for it; the variants alternate line by line so
# every form is in the model.
SPOKEN_MARKS = {
    ",": [["comma"]],
    ".": [["period"], ["full", "stop"]],
    "?": [["question", "mark"]],
    "!": [["exclamation", "mark"], ["exclamation", "point"]],
    ":": [["colon"]],
    ";": [["semicolon"]],
    "…": [["ellipsis"]],
    "¶": [["new", "line"], ["new", "line"], ["press", "enter"]],
    "§": [["new", "paragraph"]],
    "“": [["open", "quote"]],
    "”": [["close", "quote"]],
    "(": [["open", "paren"], ["open", "parenthesis"]],
    ")": [["close", "paren"], ["close", "parenthesis"]],
}
TOKEN = re.compile(r"[a-z0-9']+|[" + re.escape("".join(SPOKEN_MARKS)) + "]")
NUMBERS = "zero one two three four five six seven eight nine ten eleven twelve".split()


def spoken(line, variant):
    words = []
    for token in TOKEN.findall(line.lower()):
        if token in SPOKEN_MARKS:
            forms = SPOKEN_MARKS[token]
            words.extend(forms[variant % len(forms)])
        elif token.isdigit() and int(token) < len(NUMBERS):
            words.append(NUMBERS[int(token)])
        elif not token.isdigit():
            words.append(token)
    return words


def sentences(text):
    variant = 0
    for raw in text.splitlines():
        line = raw.strip()
        if not line or line.startswith("#"):
            continue
        # Two readings of every line: with its marks spoken, and as plain speech, so the model
        # does not expect a mark after every clause.
        for marks in (True, False):
            if not marks:
                line = re.sub("[" + re.escape("".join(SPOKEN_MARKS)) + "]", " ", line)
            words = spoken(line, variant)
            variant += 1
            if words:
                yield ["<s>"] + words + ["</s>"]


def build(text):
    counts = [collections.Counter() for _ in range(3)]
    for words in sentences(text):
        for n in range(3):
            for i in range(len(words) - n):
                counts[n][tuple(words[i:i + n + 1])] += 1
    counts[0][("<s>",)] = 0  # a sentence start is never predicted

    total = sum(counts[0].values())
    vocabulary = sorted(w for (w,) in counts[0])
    probability = [{}, {}, {}]
    for (word,) in [(w,) for w in vocabulary]:
        probability[0][(word,)] = counts[0][(word,)] / total if counts[0][(word,)] else 0.0

    backoff = [{}, {}]
    for n in (1, 2):
        history_total = collections.Counter()
        history_types = collections.Counter()
        for gram, count in counts[n].items():
            history_total[gram[:-1]] += count
            history_types[gram[:-1]] += 1
        for history in history_total:
            backoff[n - 1][history] = DISCOUNT * history_types[history] / history_total[history]
        for gram, count in counts[n].items():
            history = gram[:-1]
            lower = lower_probability(gram[1:], probability, backoff)
            probability[n][gram] = (count - DISCOUNT) / history_total[history] + backoff[n - 1][history] * lower
    return probability, backoff


def lower_probability(gram, probability, backoff):
    if len(gram) == 1:
        return probability[0][gram]
    if gram in probability[len(gram) - 1]:
        return probability[len(gram) - 1][gram]
    return backoff[len(gram) - 2].get(gram[:-1], 1.0) * lower_probability(gram[1:], probability, backoff)


def log10(value):
    return math.log10(value) if value > 0 else -99.0


def write_arpa(probability, backoff, out):
    out.write("\\data\\\n")
    for n in range(3):
        out.write(f"ngram {n + 1}={len(probability[n])}\n")
    for n in range(3):
        out.write(f"\n\\{n + 1}-grams:\n")
        for gram in sorted(probability[n]):
            line = f"{log10(probability[n][gram]):.6f}\t{' '.join(gram)}"
            if n < 2:
                line += f"\t{log10(backoff[n].get(gram, 1.0)):.6f}"
            out.write(line + "\n")
    out.write("\n\\end\\\n")


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[1], encoding="utf-8") as source:
        probability, backoff = build(source.read())
    with open(sys.argv[2], "w", encoding="ascii") as out:
        write_arpa(probability, backoff, out)


if __name__ == "__main__":
    main()
