#!/usr/bin/env python3
"""Writes the fuzzers' seed corpus beside this script: a few small inputs of
each form the readers meet, so that a short fuzzing run starts from real
structure rather than from nothing.

  dbf_reader/       dBase III+, dBase IV with a memo field, FoxPro and level 7
                    tables, and one whose header counts more records than it holds
  import_soluc/     SOLUC tables at those levels, with the codes that exporting
                    samples/centro.xml writes
  export_document/  small exchange documents: UTF-8, ISO-8859-1 with a doctype,
                    UTF-16

Only the standard library is used and the output is the same on every run.

    python3 fuzz/corpus/make_seeds.py
"""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def field_bytes(field, value, level):
    name, kind, length, decimals = field
    if kind == "I":
        if value == "":
            return b"\0" * 4
        number = int(value)
        if level == 0x04:  # sortable big-endian, sign bit flipped
            return struct.pack(">I", (number & 0xFFFFFFFF) ^ 0x80000000)
        return struct.pack("<i", number)
    if kind == "O":
        if value == "":
            return b"\0" * 8
        bits = struct.unpack(">Q", struct.pack(">d", float(value)))[0]
        bits = bits | (1 << 63) if bits >> 63 == 0 else ~bits & 0xFFFFFFFFFFFFFFFF
        return struct.pack(">Q", bits)
    if kind == "B":
        return struct.pack("<d", float(value or 0))
    if kind == "Y":
        return struct.pack("<q", round(float(value or 0) * 10000))
    text = value.encode("cp1252")
    if kind in "NF":
        return text.rjust(length)[:length]
    return text.ljust(length)[:length]


def table(level, fields, records, count=None):
    """A table at one level: 0x03 dBase III+, 0x8B dBase IV with memo, 0x30
    Visual FoxPro, 0x04 level 7. records are (deleted, [values])."""
    level7 = level == 0x04
    foxpro = level == 0x30
    fixed, descriptor = (68, 48) if level7 else (32, 32)
    header_length = fixed + descriptor * len(fields) + 1 + (263 if foxpro else 0)
    record_length = 1 + sum(f[2] for f in fields)
    header = bytearray(fixed)
    header[0] = level
    header[1:4] = bytes([126, 9, 1])  # 1 September 2026
    struct.pack_into("<IHH", header, 4, len(records) if count is None else count,
                     header_length, record_length)
    header[29] = 0x57  # Windows ANSI
    if level7:
        header[32:40] = b"DBWINUS0"
    offset = 1
    for name, kind, length, decimals in fields:
        d = bytearray(descriptor)
        if level7:
            d[0:len(name)] = name.encode("ascii")
            d[32], d[33], d[34] = ord(kind), length, decimals
        else:
            d[0:len(name)] = name.encode("ascii")
            d[11], d[16], d[17] = ord(kind), length, decimals
            if foxpro:
                struct.pack_into("<I", d, 12, offset)
        offset += length
        header += d
    header += b"\r"
    if foxpro:
        header += b"\0" * 263
    body = bytearray()
    for deleted, values in records:
        body += b"*" if deleted else b" "
        for field, value in zip(fields, values):
            body += field_bytes(field, value, level)
    return bytes(header) + bytes(body) + b"\x1a"


def write(folder, name, content):
    os.makedirs(os.path.join(HERE, folder), exist_ok=True)
    with open(os.path.join(HERE, folder, name), "wb") as out:
        out.write(content)


def dbf_reader_seeds():
    plain = [("COD", "C", 10, 0), ("NUM", "N", 8, 2), ("SI", "L", 1, 0), ("FECHA", "D", 8, 0)]
    rows = [(False, ["MAT", "12.50", "T", "20260901"]), (True, ["BORRADO", "1", "F", ""]),
            (False, ["Química", "-3", "?", ""])]
    write("dbf_reader", "dbase3.dbf", table(0x03, plain, rows))
    write("dbf_reader", "dbase4-memo.dbf",
          table(0x8B, plain + [("NOTA", "M", 10, 0)],
                [(d, v + ["         1"]) for d, v in rows]))
    binary = [("COD", "C", 6, 0), ("ENTERO", "I", 4, 0), ("REAL", "B", 8, 0),
              ("DINERO", "Y", 8, 0)]
    write("dbf_reader", "foxpro.dbf",
          table(0x30, binary, [(False, ["A", "7", "2.5", "1.2345"]),
                               (False, ["B", "-1", "", ""])]))
    level7 = [("CLAVE", "C", 10, 0), ("ENTERO", "I", 4, 0), ("DOBLE", "O", 8, 0),
              ("TEXTO", "C", 255, 0)]
    write("dbf_reader", "level7.dbf",
          table(0x04, level7, [(False, ["uno", "1", "0.5", "x" * 255]),
                               (False, ["uno", "-2147483648", "-1e300", ""]),
                               (False, ["", "", "", "fin"])]))
    write("dbf_reader", "count-beyond-file.dbf",
          table(0x03, [("A", "C", 3, 0)], [(False, ["abc"])], count=1000))


SOLUC = [("DIA", "N", 1, 0), ("HORA", "N", 2, 0), ("SESIONES", "N", 2, 0),
         ("CODGRUPO", "C", 10, 0), ("ASIG", "C", 10, 0), ("TAREA", "C", 10, 0),
         ("PROF", "C", 10, 0), ("AULA", "C", 10, 0)]
ENTRIES = [
    (False, ["1", "1", "1", "1ESO-A", "MAT", "MAT-A", "ana", "A1"]),
    (False, ["2", "3", "2", "1ESO-A1", "ING", "LECT", "Ana2", "a11"]),
    (True, ["3", "2", "1", "1BACH", "mat", "x", "ana", "A1"]),
    (False, ["5", "6", "1", "", "GUARDIA", "GUAR", "JLM", "GIM"]),
    (False, ["0", "4", "1", "1BACH", "NOEXISTE", "", "", ""]),
]


def import_seeds():
    write("import_soluc", "soluc-level7.dbf", table(0x04, SOLUC, ENTRIES))
    write("import_soluc", "soluc-dbase3.dbf", table(0x03, SOLUC, ENTRIES))
    write("import_soluc", "soluc-foxpro.dbf", table(0x30, SOLUC, ENTRIES))
    binary = [("DIA", "I", 4, 0), ("HORA", "I", 4, 0)] + SOLUC[2:]
    write("import_soluc", "soluc-level7-integers.dbf", table(0x04, binary, ENTRIES))
    write("import_soluc", "soluc-empty.dbf", table(0x04, SOLUC, []))


DOCUMENT = """<centro codigo_interno="1" nombre="IES" curso="2026" version="1">
<materias><dmateria codigo="MAT" nombre="Matemáticas" codigo_actividad="MAT-A" idmateria="M01"/>
<dmateria codigo="MAT" nombre="Matemáticas II" codigo_actividad="X" idmateria="M02"/></materias>
<profesores><profesor codigo="ana" nombre="Ana" apellido1="García" apellido2="" documento="1Z" idprofesor="P01"/>
<profesor codigo="" nombre="Íñigo" apellido1="E" apellido2="Z" documento="" idprofesor="P02"/></profesores>
<aulas><daula codigo="A1" nombre="Aula 1" capacidad_alumnos="30" idaula="R01"/>
<daula codigo="" nombre="Lab" capacidad_alumnos="" idaula="R02"/></aulas>
<grupos><dgrupo codigo="1ESO-A" nombre="1º A" codigo_nivel="ESO" curso="1" cgrupo="A" idgrupo="G01" idcurso="C1"/>
<dgrupo codigo="1ESO-A" nombre="1º B" codigo_nivel="ESO" curso="1" cgrupo="B" idgrupo="G02" idcurso="C1"/></grupos>
<franjashorarias><franjahoraria dia_semana="1" posicion="1" hora_inicio="08:30" hora_final="09:25"/>
<franjahoraria dia_semana="2" posicion="2" hora_inicio="09:25" hora_final="10:20"/></franjashorarias>
<asignaturas><dasignatura cgrupo="G01" casig="M01" cprofe="P01" conexion="1" nhoras="2,5"/>
<dasignatura cgrupo="G02" casig="M02" cprofe="P02" conexion="" nhoras="15"/></asignaturas>
</centro>
"""


def export_seeds():
    write("export_document", "utf8.xml",
          ('<?xml version="1.0" encoding="UTF-8"?>\n' + DOCUMENT).encode("utf-8"))
    doctype = ('<?xml version="1.0" encoding="ISO-8859-1" standalone="no"?>\n'
               '<!DOCTYPE centro [<!ENTITY ies "IES Sierra"><!-- nota -->'
               '<!ATTLIST dmateria codigo_actividad CDATA "ACT">]>\n<?pi datos?>\n')
    write("export_document", "latin1-doctype.xml",
          (doctype + DOCUMENT.replace('nombre="IES"', 'nombre="&ies;"')).encode("latin-1"))
    write("export_document", "utf16.xml",
          ('<?xml version="1.0" encoding="UTF-16"?>\n' + DOCUMENT).encode("utf-16"))


if __name__ == "__main__":
    dbf_reader_seeds()
    import_seeds()
    export_seeds()
