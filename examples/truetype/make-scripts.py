#!/usr/bin/env python3
"""Writes the TrueType example scripts of this folder. Their text arguments are UTF-16 code
units, least significant byte first, so the scripts are written as bytes here."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def utf16(text):
    data = text.encode("utf-16-le")
    # A line ends at its line feed byte, so no code unit may contain 0x0A.
    assert b"\n" not in data, text
    return data


def draw(layer, x, y, font, rgba, wrap, spacing, text):
    r, g, b, a = rgba
    head = f"104 {layer} {x} {y} {font} {r} {g} {b} {a} {wrap} {spacing} "
    return head.encode() + utf16(text)


def script(name, lines):
    with open(os.path.join(HERE, name), "wb") as f:
        for line in lines:
            f.write((line.encode() if isinstance(line, str) else line) + b"\n")


script("scripts.txt", [
    "# Latin, Cyrillic, Greek and Arabic captions and a wrapped paragraph in one layer.",
    "116",
    # Font 0: bold sans with a soft drop shadow; font 1: serif with vertical smoothing;
    # font 2: italic sans for Greek; font 3: Arabic, right to left.
    "4 0 DejaVu Sans\t48 1 0 11 1",
    "103 0 0 200 30 30 255 45 4 2",
    "4 1 DejaVu Serif\t44 0 0 9 1",
    "103 1 3 0 0 0 0 0 0 0",
    "4 2 DejaVu Sans\t44 0 1 4 1",
    "103 2 0 20 20 80 255 90 2 0",
    "4 3 DejaVu Sans\t52 0 0 1 2",
    "103 3 0 40 160 60 255 45 3 1",
    "4 4 Liberation Serif\t30 0 0 11 1",
    "121 0",
    "62 0 680 520",
    "66 0 20 28",
    "75 0",
]
    + [
        draw(0, 20, 16, 0, (255, 255, 255, 255), 0, 0, "Breaking news: Kavelin 4.0"),
        draw(0, 20, 86, 1, (255, 210, 120, 255), 0, 0, "Новости дня: матч в 20:00"),
        draw(0, 20, 156, 2, (160, 220, 255, 255), 0, 0, "Ειδήσεις: ο αγώνας αρχίζει"),
        draw(0, 20, 226, 3, (255, 255, 255, 255), 0, 0, "مرحبا بكم في الأخبار"),
        draw(0, 20, 310, 4, (230, 230, 230, 220), 1, 36,
             "Captions wrap at white space to the width right of their start, one line "
             "after another, 36 pixels apart, in any face the system has."),
        "105 4",
        "108 4",
        "@wait 1",
    ])
