#!/usr/bin/env python3
"""Writes samples/SOLUC.DBF: a timetable as the timetabling program leaves it in
its solution table SOLUC, for the school of samples/centro.xml.

The table is a dBase level 7 file (version byte 0x04), the form the program's
database engine writes by default: a 68-byte header with the language driver,
48-byte field descriptors, fixed-width records and the end-of-file mark.

Fields: DIA N(1,0), HORA N(2,0), SESIONES N(2,0), CODGRUPO C(10), ASIG C(10),
TAREA C(10), PROF C(10), AULA C(10) and SEMANA C(1), which the import does not
read.

The codes are those that exporting samples/centro.xml writes into the timetable
tables: ASIGT's CASIG, CPROF, CGRUP and CTAREA, AULAT's ABREV. Each teaching
assignment gets about one and a half entries per weekly hour, placed on days
1-5, hours 1-6, without two entries of one group or one teacher at the same
time. Among them: entries with TAREA "LECT" and "GUAR", one whose TAREA is the
first four characters of its subject's identifier, one with an empty AULA, one
with DIA 0, one with a subject code the tables do not know and one deleted
record.

Only the standard library is used, and every byte is written here. The output
is the same on every run.

    python3 samples/make_soluc.py [output]   (default: SOLUC.DBF beside this script)
"""

import os
import struct
import sys

# (CASIG, CPROF, CGRUP, HORAS, CTAREA, AULA) as the export writes ASIGT, with a
# room of AULAT for each.
ASSIGNMENTS = [
    ("MAT", "ana", "1ESO-A", 4, "MAT-A", "A1"),
    ("LCL", "ANA1", "1ESO-A", 4, "LCL", "A1"),
    ("ING", "Ana2", "1ESO-A", 3, "ING-1", "A1"),
    ("FYQ", "JLM", "1ESO-A", 2.5, "FQ", "Labo"),
    ("EF", "MCR", "1ESO-A", 2, "EF", "GIM"),
    ("MAT1", "ana", "1ESO-A1", 4, "MAT-A", "a11"),
    ("ING", "Ana2", "1ESO-A1", 3, "ING-1", "a11"),
    ("BIOGEOLOA1", "JLM", "1ESO-A1", 3, "BG", "Labo1"),
    ("MAT2", "", "2ESO-DIVIF", 1, "MAT-B", "Lab"),  # its teacher has an empty code
    ("GEH", "ANA1", "2ESO-DIVIF", 15, "GH", "Lab"),
    ("BIOGEOLOA2", "MCR", "1BACH", 3, "BG", "Labo1"),
    ("mat", "ana", "1BACH", 4, "x", "A1"),
    ("LCL", "ANA1", "", 1.5, "LCL", "A1"),  # its group is not in GRUPOST
    ("LECTIVA", "Ana2", "", 1, "LECT", "a11"),
    ("GUARDIA", "JLM", "", 2, "GUAR", "GIM"),
]

DAYS = range(1, 6)
HOURS = range(1, 7)

FIELDS = [  # name, type, length, decimals
    ("DIA", "N", 1, 0),
    ("HORA", "N", 2, 0),
    ("SESIONES", "N", 2, 0),
    ("CODGRUPO", "C", 10, 0),
    ("ASIG", "C", 10, 0),
    ("TAREA", "C", 10, 0),
    ("PROF", "C", 10, 0),
    ("AULA", "C", 10, 0),
    ("SEMANA", "C", 1, 0),
]


def slots():
    """Every (day, hour), in a fixed scattered order so that a subject's
    entries spread over the week."""
    all_slots = [(d, h) for d in DAYS for h in HOURS]
    order, seed = [], 7
    while all_slots:
        seed = (seed * 1103515245 + 12345) % 2**31
        order.append(all_slots.pop(seed % len(all_slots)))
    return order


def timetable():
    """The entries of the computed timetable, as dicts of field values."""
    busy_group, busy_teacher = set(), set()
    entries = []
    order = slots()
    for number, (asig, prof, group, hours, task, room) in enumerate(ASSIGNMENTS):
        wanted = int(hours * 1.5 + 0.5)
        start = (number * 7) % len(order)
        for day, hour in order[start:] + order[:start]:
            if wanted == 0:
                break
            if group and (group, day, hour) in busy_group:
                continue
            if prof and (prof, day, hour) in busy_teacher:
                continue
            busy_group.add((group, day, hour))
            busy_teacher.add((prof, day, hour))
            entries.append({"DIA": day, "HORA": hour, "SESIONES": 1, "CODGRUPO": group,
                            "ASIG": asig, "TAREA": task, "PROF": prof, "AULA": room,
                            "SEMANA": "A"})
            wanted -= 1
    entries.sort(key=lambda e: (e["DIA"], e["HORA"], e["CODGRUPO"], e["ASIG"]))
    return entries


def with_special_records(entries):
    """The entries with the cases the import must tell apart; records stay in
    (day, hour) order except the added ones, as the program appends them."""
    def first(**match):
        return next(e for e in entries if all(e[k] == v for k, v in match.items()))

    first(ASIG="MAT", CODGRUPO="1ESO-A")["TAREA"] = "LECT"
    first(ASIG="BIOGEOLOA2")["TAREA"] = "LECT"
    first(ASIG="GEH")["TAREA"] = "LECT"
    first(ASIG="ING", CODGRUPO="1ESO-A1")["TAREA"] = "M05"  # ING's IDASIG
    first(ASIG="EF")["AULA"] = ""
    geh = [e for e in entries if e["ASIG"] == "GEH"]
    for e in geh[::4]:
        e["SESIONES"] = 2
    for e in entries[1::3]:
        e["SEMANA"] = "B"

    records = [dict(e, deleted=False) for e in entries]
    records.append({"DIA": 0, "HORA": 3, "SESIONES": 1, "CODGRUPO": "1BACH", "ASIG": "mat",
                    "TAREA": "x", "PROF": "ana", "AULA": "A1", "SEMANA": "A", "deleted": False})
    records.append({"DIA": 2, "HORA": 4, "SESIONES": 1, "CODGRUPO": "1BACH", "ASIG": "QUI",
                    "TAREA": "QUI", "PROF": "MCR", "AULA": "Labo", "SEMANA": "A",
                    "deleted": False})
    records.append({"DIA": 5, "HORA": 6, "SESIONES": 1, "CODGRUPO": "1ESO-A", "ASIG": "LCL",
                    "TAREA": "LCL", "PROF": "ANA1", "AULA": "A1", "SEMANA": "A",
                    "deleted": True})
    return records


def field_bytes(kind, length, value):
    text = "" if value is None else str(value)
    data = text.encode("cp1252")
    if len(data) > length:
        raise ValueError(f"{text!r} does not fit {length} bytes")
    pad = b" " * (length - len(data))
    return pad + data if kind == "N" else data + pad


def table_bytes(records):
    record_length = 1 + sum(length for _, _, length, _ in FIELDS)
    header_length = 68 + 48 * len(FIELDS) + 1

    header = bytearray(68)
    header[0] = 0x04                                # dBase level 7, no memo
    header[1:4] = bytes([126, 6, 15])               # last update: 2026-06-15
    struct.pack_into("<I", header, 4, len(records))
    struct.pack_into("<H", header, 8, header_length)
    struct.pack_into("<H", header, 10, record_length)
    header[29] = 0x57                               # language driver id: ANSI
    header[32:40] = b"DBWINES0"                     # Spanish ANSI (Windows-1252)

    out = bytearray(header)
    for name, kind, length, decimals in FIELDS:
        descriptor = bytearray(48)
        descriptor[0:len(name)] = name.encode("ascii")
        descriptor[32] = ord(kind)
        descriptor[33] = length
        descriptor[34] = decimals
        out += descriptor
    out += b"\x0D"
    assert len(out) == header_length

    for record in records:
        out += b"*" if record["deleted"] else b" "
        for name, kind, length, _ in FIELDS:
            out += field_bytes(kind, length, record[name])
    out += b"\x1A"
    return bytes(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "SOLUC.DBF")
    records = with_special_records(timetable())
    with open(target, "wb") as f:
        f.write(table_bytes(records))
    print(f"{target}: {len(records)} records")


if __name__ == "__main__":
    main()
