#!/usr/bin/env python3
"""Writes a deterministic, realistic mailbox of about SIZE megabytes.

Usage: generate_mailbox.py OUTPUT [SIZE_MB]

A few thousand distinct messages (trace fields, list mail with sponsor
blocks and unsubscribe footers, quoted text, signatures, multipart mail,
CR LF line ends in some, a few long lines) are made from a fixed seed and
repeated until the size is reached, so every run gets the same bytes.
"""

import random
import sys

WORDS = (
    "the of and to in is that for it as with was on be by this are from at or "
    "an have not but which one all were can there their more when will would "
    "mailbox archive message list thread reply meeting notes release build test "
    "server relay group weekly digest attachment schedule review question answer"
).split()

SPONSOR = (
    b"------------------------ Yahoo! Groups Sponsor ---------------------~-->\n"
    b"Get your own web site - free and easy.\n"
    b"http://example.com/ad/12345\n"
    b"---------------------------------------------------------------------~->\n"
)
UNSUBSCRIBE = (
    b"To unsubscribe from this group, send an email to:\n"
    b"group-unsubscribe@lists.example.org\n"
    b"\n"
    b"Your use of Yahoo! Groups is subject to the terms of service.\n"
)


def sentence(rng, low=6, high=14):
    return " ".join(rng.choice(WORDS) for _ in range(rng.randint(low, high)))


def message(rng, number):
    sender = f"user{rng.randint(1, 500)}@example{rng.randint(1, 40)}.org"
    lines = [f"From {sender} Mon Mar  4 09:{number % 60:02d}:02 2024"]
    for hop in range(rng.randint(2, 5)):
        lines.append(f"Received: from relay{hop}.example.net (relay{hop}.example.net [192.0.2.{hop}])")
        lines.append(f"\tby mx{hop}.example.org with ESMTP id {rng.getrandbits(40):010X}")
        lines.append(f"\tfor <list@example.org>; Mon, 4 Mar 2024 09:15:0{hop} +0000")
    lines += [
        f"Return-Path: <{sender}>",
        "Delivered-To: list@example.org",
        f"From: User <{sender}>",
        "To: list@example.org",
    ]
    tag = " - fido7.ru.general" if rng.random() < 0.3 else ""
    lines.append(f"Subject: Re: {sentence(rng, 3, 7)}{tag}")
    lines.append(f"Date: Mon, 4 Mar 2024 09:15:00 +0000")
    lines.append(f"Message-ID: <{rng.getrandbits(64):016x}@example.org>")
    lines.append("X-Mailer: ExampleMail 2.2")
    lines.append(f"X-Spam-Status: No, score=-{rng.randint(0, 9)}.{rng.randint(0, 9)}")
    lines.append("\ttests=BAYES_00,HTML_MESSAGE")
    lines.append("X-Priority: 3")
    lines.append("List-Unsubscribe: <mailto:list-unsubscribe@example.org>")
    multipart = rng.random() < 0.15
    if multipart:
        lines.append('Content-Type: multipart/alternative; boundary="b1"')
    else:
        lines.append("Content-Type: text/plain; charset=us-ascii")
    lines += ["", ""]
    if multipart:
        lines += ["--b1", "Content-Type: text/plain", ""]
    for _ in range(rng.randint(1, 4)):
        lines += [f"> {sentence(rng)}" for _ in range(rng.randint(0, 6))]
        lines.append("")
        lines += [sentence(rng) for _ in range(rng.randint(2, 10))]
        lines.append("")
    if rng.random() < 0.02:
        lines.append(" ".join(sentence(rng) for _ in range(rng.randint(20, 200))))
    if multipart:
        lines += ["--b1--", ""]
    lines += ["-- ", f"User {rng.randint(1, 500)}", ""]
    text = ("\n".join(lines) + "\n").encode()
    if not multipart and rng.random() < 0.6:
        text += SPONSOR if rng.random() < 0.5 else UNSUBSCRIBE
    text += b"\n"
    if rng.random() < 0.2:
        text = text.replace(b"\n", b"\r\n")
    return text


def main():
    output = sys.argv[1]
    size = int(float(sys.argv[2]) * 1000 * 1000) if len(sys.argv) > 2 else 300 * 1000 * 1000
    rng = random.Random(20241210)
    chunk = b"".join(message(rng, n) for n in range(3000))
    with open(output, "wb") as out:
        written = 0
        while written < size:
            piece = chunk[: size - written]
            # End on a whole line, so a slice is a mailbox too.
            if len(piece) < len(chunk):
                piece = piece[: piece.rfind(b"\n") + 1] or piece
            out.write(piece)
            written += len(piece)


if __name__ == "__main__":
    main()
