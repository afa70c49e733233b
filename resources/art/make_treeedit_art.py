#!/usr/bin/env python3
"""Draws the navigation icons of the tree item dialog's pictures page: first, previous, next and
last picture (16 x 16 triangles, the outer two against a bar). Uses the drawing helpers of
make_art.py; run it again after changing a drawing and commit the results with the script."""
from make_art import BLUE, BLUE_LIGHT, INK, icon, write_ico


def triangle(c, s, tip_x, back_x, color):
    """A triangle pointing from back_x towards tip_x, centred vertically."""
    h = s * 0.34
    c.poly([(back_x, s / 2 - h), (tip_x, s / 2), (back_x, s / 2 + h)], INK)
    # The fill stays a little inside the outline.
    inset = s * 0.07
    d = 1 if tip_x > back_x else -1
    c.poly([(back_x + d * inset, s / 2 - h + inset * 1.6), (tip_x - d * inset * 1.8, s / 2),
            (back_x + d * inset, s / 2 + h - inset * 1.6)], color)


def bar(c, s, x):
    c.rect(x, s * 0.16, s * 0.14, s * 0.68, INK)


def first(c, s):
    bar(c, s, s * 0.18)
    triangle(c, s, s * 0.34, s * 0.82, BLUE)


def previous(c, s):
    triangle(c, s, s * 0.24, s * 0.74, BLUE_LIGHT)


def next_(c, s):
    triangle(c, s, s * 0.76, s * 0.26, BLUE_LIGHT)


def last(c, s):
    bar(c, s, s * 0.68)
    triangle(c, s, s * 0.66, s * 0.18, BLUE)


if __name__ == '__main__':
    write_ico('picture_first.ico', [icon(16, first)])
    write_ico('picture_previous.ico', [icon(16, previous)])
    write_ico('picture_next.ico', [icon(16, next_)])
    write_ico('picture_last.ico', [icon(16, last)])
