#!/usr/bin/env python3
"""Writes a deterministic, realistic mailbox of about SIZE megabytes.

Usage: generate_mailbox.py OUTPUT [SIZE_MB] [--profile typical|list-archive]

A few thousand distinct messages are made from a fixed seed and repeated
until the size is reached, so every run gets the same bytes. Two profiles:

typical       trace fields, list mail with sponsor blocks and unsubscribe
              footers in most messages, quoted text, signatures, multipart
              mail, CR LF line ends in a fifth of the messages, a few long
              lines; short messages (about 390 a megabyte).
list-archive  shaped like a real archive of list mail: about 168 messages a
              megabyte, lines of 46 bytes on average, 29 % of them header
              lines (4 to 15 Received fields with their continuation lines,
              many X- fields), 14 % empty, 8 to 9 % ending in spaces or
              TABs, no CR at all, and a footer in a few per cent of the
              messages.
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


MAILERS = (
    "Microsoft Outlook Express 6.00.2600.0000",
    "The Bat! (v1.60q) Personal",
    "Mutt/1.4i",
    "QUALCOMM Windows Eudora Version 5.1",
)


def archive_header(rng, number, sender, lines):
    """A header block of list mail as it arrives: many hops, many X- fields."""
    for hop in range(rng.randint(2, 6)):
        host = f"mx{rng.randint(1, 99)}.relay{hop}.backbone.example.net"
        lines.append(f"Received: from {host} ([10.{hop}.{rng.randint(0, 255)}.{rng.randint(1, 254)}])")
        lines.append(f"	by mail{hop}.example.org (8.11.6/8.11.6) with ESMTP id g{rng.getrandbits(36):09X}")
        if rng.random() < 0.4:
            lines.append(f"	for <list@example.org>; Tue, 12 Mar 2002 1{hop % 10}:2{hop % 6}:0{number % 10} +0300")
    lines += [
        f"Return-Path: <{sender}>",
        f"X-Sender: {sender}",
        f"X-eGroups-Return: sentto-{rng.randint(10000, 99999)}-{number}-1015932012-list=example.org@returns.groups.example.com",
        "X-Apparently-To: list@example.org via 192.0.2.77; 12 Mar 2002 11:20:14 -0000",
        f"X-Originating-IP: [192.0.2.{rng.randint(1, 254)}]",
        f"From: \"User {rng.randint(1, 900)}\" <{sender}>",
        "Sender: list-owner@example.org",
        "To: list@example.org",
        f"Message-ID: <{rng.getrandbits(48):012x}.{number}@example.org>",
        f"Date: Tue, 12 Mar 2002 14:{number % 60:02d}:12 +0300",
        f"X-Mailer: {rng.choice(MAILERS)}",
        "X-Priority: 3 (Normal)",
        "X-MSMail-Priority: Normal",
        "Mailing-List: list list@example.org; contact list-owner@example.org; run by example groups",
        "Delivered-To: mailing list list@example.org",
        "Precedence: bulk",
        f"Reply-To: list@example.org",
        f"In-Reply-To: <{rng.getrandbits(48):012x}.{number - 1}@example.org>",
        f"References: <{rng.getrandbits(48):012x}.{number - 2}@example.org>",
        f"\t<{rng.getrandbits(48):012x}.{number - 1}@example.org>",
        "X-Yahoo-Profile: listmember",
        "X-MimeOLE: Produced By Microsoft MimeOLE V6.00.2600.0000",
        "List-Unsubscribe: <mailto:list-unsubscribe@example.org>",
    ]
    tag = " - fido7.ru.general" if rng.random() < 0.2 else ""
    lines.append(f"Subject: Re: {sentence(rng, 2, 6)}{tag}")
    lines.append("MIME-Version: 1.0")
    multipart = rng.random() < 0.1
    if multipart:
        lines.append("Content-Type: multipart/alternative;")
        lines.append(f'	boundary="----=_NextPart_{rng.getrandbits(32):08X}"')
    else:
        lines.append('Content-Type: text/plain; charset="koi8-r"')
    lines.append("Content-Transfer-Encoding: 8bit")
    if rng.random() < 0.5:
        lines.append(f"X-Spam-Status: No, hits={rng.randint(0, 4)}.{rng.randint(0, 9)} required=5.0")
        lines.append("	tests=QUOTED_EMAIL_TEXT,REFERENCES,SPAM_PHRASE_00_01")
    return multipart


def archive_message(rng, number):
    sender = f"user{rng.randint(1, 900)}@example{rng.randint(1, 60)}.org"
    lines = [f"From {sender} Tue Mar 12 14:{number % 60:02d}:12 2002"]
    archive_header(rng, number, sender, lines)
    lines.append("")
    for _ in range(rng.randint(4, 12)):
        lines += [f"> {sentence(rng, 6, 14)}" for _ in range(rng.randint(0, 7))]
        lines.append("")
        for _ in range(rng.randint(2, 9)):
            line = sentence(rng, 7, 14)
            # Editors leave trailing spaces and TABs on some lines.
            if rng.random() < 0.23:
                line += rng.choice((" ", "  ", "\t", " \t"))
            lines.append(line)
        lines.append("")
    lines += ["-- ", f"User {rng.randint(1, 900)}", ""]
    footer = rng.random() < 0.04
    if footer:
        lines.append(UNSUBSCRIBE.decode().rstrip("\n") if rng.random() < 0.5 else SPONSOR.decode().rstrip("\n"))
    return ("\n".join(lines) + "\n\n").encode()


PROFILES = {"typical": message, "list-archive": archive_message}


def main():
    arguments = sys.argv[1:]
    profile = "typical"
    if "--profile" in arguments:
        at = arguments.index("--profile")
        profile = arguments[at + 1]
        del arguments[at : at + 2]
    output = arguments[0]
    size = int(float(arguments[1]) * 1000 * 1000) if len(arguments) > 1 else 300 * 1000 * 1000
    rng = random.Random(20241210)
    make = PROFILES[profile]
    chunk = b"".join(make(rng, n) for n in range(3000))
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
