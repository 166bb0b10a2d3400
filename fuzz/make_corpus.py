#!/usr/bin/env python3
"""Writes the seed corpora in fuzz/corpus/<target>/: real frames, replies,
commands and records as the client, the router and the acquisition server
exchange them. Run again after changing it; the files are committed."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
TYPES = ["SEScAcqEnt", "STScAcqEnt", "TTScAcqEnt", "CscAcqEnt", "EventAcqEnt", "VTAcqEnt"]
# Record sizes and index fields (offset, width), in the order SE ST TT CSC EV VT.
RECORDS = [(112, 8, 4), (176, 8, 4), (304, 8, 4), (1044, 8, 4), (184, None, 0), (1828, 2, 2)]


def frame(body, version=1, code=0xA5A5A5A5, size=None):
    return struct.pack("<iIi", version, code, len(body) if size is None else size) + body


def text(t):
    return t.encode("latin-1") + b"\0"


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


REPLIES = [
    "0 Zorlent Simulator",
    "0 SE1 SE2 ST1 TT1 CSC1 CSC2 Events VT1",
    "0 SEScAcqEnt SEScAcqEnt STScAcqEnt TTScAcqEnt CscAcqEnt CscAcqEnt EventAcqEnt VTAcqEnt",
    "0 26201",
    "0 32000.00",
    "0 \"CSC 1\" \"Event Source\" VT1",
    "-1 Unable to process CreateStream command, a stream already exists with the requested data type",
    "0 Attempt to process CreateStream command was successful",
    "0 1 2 3 4 5 6 7 8",
    "-1",
]
COMMANDS = [
    "-GetApplicationName",
    "-GetNextAvailablePortNumber",
    "-CreateStream 127.0.0.1 26500 SEScAcqEnt",
    "-CreateStream 127.0.0.1 26501 CscAcqEnt",
    "-OpenStream SE1 SEScAcqEnt",
    "-OpenStream \"CSC 1\" CscAcqEnt",
    "-CloseStream SE1 SEScAcqEnt",
    "-GetZorlentObjects",
    "-GetZorlentTypes",
    "-SetApplicationName \"Plenvar Tap\"",
    "-SetComputerName bench-pc",
    "-RequestRingBuffer CSC1 0 512",
    "-GetSamplingFrequency CSC1",
    "-GetADRange CSC1",
    "-LogMessage \"hello from a client\"",
    "-SetPortNumberUnused 26201",
    "-RequestApplicationName",
]


def client_message():
    for i, reply in enumerate(REPLIES):
        write("client_message", "reply%02d" % i, frame(text(REPLIES[0])) + frame(text(reply)))
    ring = bytes(range(256)) * 4
    write("client_message", "ring_buffer", frame(text(REPLIES[0])) + frame(ring))
    write("client_message", "session", b"".join(frame(text(r)) for r in REPLIES))
    write("client_message", "bad_version", frame(text("0 x"), version=2))
    write("client_message", "bad_code", frame(text("0 x"), code=0x12345678))
    write("client_message", "zero_size", frame(b"", size=0))
    write("client_message", "huge_size", frame(b"0 x\0", size=0x7FFFFFFF))
    write("client_message", "short_body", frame(text("0 Zorlent"), size=200))
    write("client_message", "no_nul", frame(text(REPLIES[0])) + frame(b"0 no terminator"))


def command_string():
    for i, t in enumerate(REPLIES + COMMANDS):
        write("command_string", "text%02d" % i, t.encode("latin-1"))
    write("command_string", "controls", b"0\tA\r\nB \"quoted name\"\t\"x\"")
    write("command_string", "odd_quotes", b"0 \"a b")
    write("command_string", "quote_glued", b"0 a\"b c\" d")


def object_list():
    lists = ["SE1 SE2 ST1", "\"CSC 1\" CSC2\tVT1\r\nEvents", "   ", "", "\"unbalanced", "a \"\" b",
             "\"Event Source\" \"CSC 10\" TT1"]
    for i, t in enumerate(lists):
        write("object_list", "list%02d" % i, t.encode("latin-1"))


def router_messages():
    for i, c in enumerate(COMMANDS):
        write("router_messages", "command%02d" % i, frame(text(c)))
    write("router_messages", "session", b"".join(frame(text(c)) for c in COMMANDS))
    write("router_messages", "bad_version", frame(text("-GetZorlentObjects"), version=0))
    write("router_messages", "bad_code", frame(text("-GetZorlentObjects"), code=0))
    write("router_messages", "huge_size", frame(b"", size=0x7FFFFFFF))
    write("router_messages", "negative_size", frame(b"", size=-4))
    write("router_messages", "truncated", frame(text("-OpenStream SE1 SEScAcqEnt"))[:20])


def record(kind, index, fill):
    size, offset, width = RECORDS[kind]
    data = bytearray((fill + i) & 0xFF for i in range(size))
    if offset is not None:
        data[offset:offset + width] = index.to_bytes(width, "little")
    return bytes(data)


def stream_records():
    # Byte 0 picks the type, byte 1 the object count, then one type byte per
    # object, then the records.
    for kind in range(6):
        objects = [kind, 0, 1, 2, 3, 4, 5]
        head = bytes([kind, len(objects)]) + bytes(objects)
        body = b"".join(record(kind, i % 3, i * 7) for i in range(3))
        write("stream_records", "type%d" % kind, head + body)
        write("stream_records", "type%d_partial" % kind, head + body + record(kind, 0, 1)[:50])
        write("stream_records", "type%d_bad_index" % kind, head + record(kind, 99, 5))


if __name__ == "__main__":
    client_message()
    command_string()
    object_list()
    router_messages()
    stream_records()
