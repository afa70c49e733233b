#!/usr/bin/env python3
"""Draws the root icons of the two tree cards: a beetle for the systematic tree and a globe for
the locality tree, at 16 x 16 and 32 x 32. Uses the drawing helpers of make_art.py; run it
again after changing a drawing and commit the results with the script."""
from make_art import beetle, globe, icon, write_ico

if __name__ == '__main__':
    write_ico('tree_system.ico', [icon(n, lambda c, s: beetle(c, s)) for n in (16, 32)])
    write_ico('tree_localities.ico', [icon(n, lambda c, s: globe(c, s)) for n in (16, 32)])
