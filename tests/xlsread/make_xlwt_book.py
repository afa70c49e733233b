#!/usr/bin/env python3
"""Writes tests/xlsread/data/xlwt_records.xls with Debian's python3-xlwt and reads it back with
python3-xlrd, so that the workbook reader's test has a workbook made by another program whose
contents a third one agrees on. Run it again (with /usr/bin/python3) only to change the workbook."""
import datetime
import os
import sys

import xlrd
import xlwt

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "data", "xlwt_records.xls")

ROWS = [
    # species, locality, date, count, checked, note
    ("Carabus auratus", "Praha (centrum)", datetime.date(2004, 5, 17), 3, True, "u cesty"),
    ("Čáp bílý", "Žďár nad Sázavou", datetime.date(1999, 12, 31), 12.5, False, "x" * 300),
    ("Bombus terrestris", "Brno", None, 1, True, None),
]


def main():
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Nálezy")
    date_style = xlwt.easyxf(num_format_str="d.m.yyyy")
    for c, name in enumerate(["Druh", "Lokalita", "Datum", "Počet", "Ověřeno", ""]):
        if name:
            sheet.write(0, c, name)
    for r, row in enumerate(ROWS, start=1):
        for c, value in enumerate(row):
            if value is None:
                continue
            if isinstance(value, datetime.date):
                sheet.write(r, c, value, date_style)
            else:
                sheet.write(r, c, value)
    other = book.add_sheet("Data")
    other.write(0, 0, "A")
    other.write(1, 0, 1)
    book.save(OUT)

    back = xlrd.open_workbook(OUT)
    assert back.sheet_names() == ["Nálezy", "Data"], back.sheet_names()
    s = back.sheet_by_index(0)
    assert s.cell_value(2, 0) == "Čáp bílý"
    assert s.cell_value(2, 3) == 12.5
    assert s.cell(1, 2).ctype == xlrd.XL_CELL_DATE
    assert xlrd.xldate_as_tuple(s.cell_value(1, 2), back.datemode)[:3] == (2004, 5, 17)
    assert s.cell(1, 4).ctype == xlrd.XL_CELL_BOOLEAN and s.cell_value(1, 4) == 1
    assert len(s.cell_value(2, 5)) == 300
    print("written and read back:", OUT)


if __name__ == "__main__":
    sys.exit(main())
