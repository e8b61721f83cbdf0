#!/usr/bin/python3
"""The same conversion as velto's debug-log parsing, in Python with openpyxl in write-only mode:
a captured debug log becomes TaliqAllDebug.xlsx (every record) and Taliq4_20Debug.xlsx (records
whose C value is 1). The bench runs it beside the C++ conversion on the same log.

Usage: openpyxl_convert.py LOG OUTDIR   (prints "lines all_rows current_rows")
"""
import os
import sys

from openpyxl import Workbook

HEADERS = ["Distance", "Power", "Gain", "Zone", "Amplitude", "Treshold", "Pulses", "Timer", "TBmin",
           "TBmax", "Mode", "Statue", "Distance Jump", "Alg. Decision", "Temperature", "4_20",
           "Raw Distance", "Raw Distance2", "Time"]
# tag, end letter, 0-based column
TAGS = [("C", "S", 15), ("D", "R", 0), ("P", "G", 1), ("G", "Z", 2), ("Z", "A", 3), ("A", "T", 4),
        ("Th", "N", 5), ("N", "T", 6), ("Ti", "T", 7), ("Tn", "T", 8), ("Tx", "T", 9), ("M", "C", 10),
        ("Tp", "M", 14), ("RD", "R", 16), ("RD2", "P", 17)]
SEARCH_DISTANCE = "R_SEARCH : Current Search Distance ="
SEARCH_EVENTS = [("R_SEARCH : Occur jump", 1), ("---> Enter to QuickSearch", 2),
                 ("R_SEARCH : search is failed", 3)]


class FormatError(Exception):
    pass


def whole(text):
    text = text.replace(" ", "")
    digits = text[1:] if text[:1] in "+-" else text
    if not digits.isdigit() or not digits.isascii():
        raise FormatError(text)
    value = int(text)
    if not -2**31 <= value < 2**31:
        raise FormatError(text)
    return value


def parse_record(line):
    row = [None] * 19
    for tag, end, column in TAGS:
        at = line.find(tag)
        if at < 0:
            continue
        start = at + len(tag)
        stop = line.find(end, start)
        if stop < 0:
            raise FormatError(tag)
        row[column] = whole(line[start:stop])
    at = line.find("S")
    if at >= 0:
        status = at + 1
        while status < len(line) and line[status] == " ":
            status += 1
        if status == len(line) or not line[status].isdigit():
            raise FormatError("S")
        row[11] = int(line[status])
        row[18] = float(line[status + 1:].strip(" \t"))
    row[12] = 0
    row[13] = 0
    return row, row[15] == 1


def convert(log_path, out_dir):
    all_book = Workbook(write_only=True)
    all_sheet = all_book.create_sheet("Sheet1")
    current_book = Workbook(write_only=True)
    current_sheet = current_book.create_sheet("Sheet1")
    all_sheet.append(HEADERS)
    current_sheet.append(HEADERS)
    # A record's row waits for the search lines after it; write-only sheets only append.
    pending_all = pending_current = None
    lines = all_rows = current_rows = 0
    with open(log_path, "r", encoding="latin-1", newline="") as log:
        for raw in log:
            lines += 1
            line = raw[:-1] if raw.endswith("\n") else raw
            line = line[:-1] if line.endswith("\r") else line
            if line.startswith("D") and not line.startswith(("D: DIST", "Decreas")):
                if pending_all is not None:
                    all_sheet.append(pending_all)
                    all_rows += 1
                if pending_current is not None:
                    current_sheet.append(pending_current)
                    current_rows += 1
                row, current = parse_record(line)
                pending_all = row
                pending_current = list(row) if current else None
                continue
            column = value = None
            if line.startswith(SEARCH_DISTANCE):
                column, value = 12, whole(line[38:43].strip(" \t"))
            else:
                for start, decision in SEARCH_EVENTS:
                    if line.startswith(start):
                        column, value = 13, decision
                        break
            if column is not None:
                if pending_all is not None:
                    pending_all[column] = value
                if pending_current is not None:
                    pending_current[column] = value
    if pending_all is not None:
        all_sheet.append(pending_all)
        all_rows += 1
    if pending_current is not None:
        current_sheet.append(pending_current)
        current_rows += 1
    all_book.save(os.path.join(out_dir, "TaliqAllDebug.xlsx"))
    current_book.save(os.path.join(out_dir, "Taliq4_20Debug.xlsx"))
    return lines, all_rows, current_rows


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    print(*convert(sys.argv[1], sys.argv[2]))
