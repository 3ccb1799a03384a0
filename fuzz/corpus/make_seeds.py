#!/usr/bin/env python3
"""Writes the structured seeds of fuzz_pipeline and fuzz_replace_file.

Both targets read their input through FuzzedDataProvider: switches and small
numbers come from the end of the data, texts from the front, each text ended
by a backslash and one more byte. The seeds are laid out the same way, so the
fuzzer starts from meaningful settings. Run it from anywhere; it rewrites the
seeds it owns and leaves every other file alone.
"""
import pathlib

HERE = pathlib.Path(__file__).resolve().parent
FIXTURES = HERE.parent.parent / "tests" / "e2e" / "fixtures"


def text(value: bytes) -> bytes:
    return value.replace(b"\\", b"\\\\") + b"\\|"


def pipeline_seed(switches, lists, prepend=b"", append=b"", pairs=b"", data=b"",
                  divider=1, newline=1, plus_space=False, latin_upper=False):
    names = ["ascii", "find", "find_before", "find_after", "eliminate", "tally",
             "divider", "newline", "case_sensitive", "extended"]
    tail = [1 if name in switches else 0 for name in names]
    tail += [1 if latin_upper else 0, 1, 1, divider - 1, newline - 1, 1 if plus_space else 0]
    front = b"".join(text(lists.get(name, b"")) for name in
                     ["find", "find_before", "find_after", "skip", "line_before",
                      "line_after", "space_before", "space_after"])
    front += text(prepend) + text(append) + text(pairs)
    return front + data + bytes(reversed(tail))


def main():
    report = (FIXTURES / "report.log").read_bytes()
    pairs = (FIXTURES / "pairs.txt").read_bytes()
    mixed = (FIXTURES / "mixed_ends.txt").read_bytes()
    pipeline = {
        "typical": pipeline_seed({"tally"}, {"skip": b"DEBUG", "line_after": b"Finished"},
                                 data=report),
        "replace": pipeline_seed({"tally", "divider", "newline"}, {}, pairs=pairs, data=report,
                                 divider=2, newline=3),
        "extended": pipeline_seed({"find", "extended"}, {"find": b"^2026;failed$;\\^x;a\\$"},
                                  pairs=b"^INFO;I\nms$;MS\n\\^;caret\n", data=report),
        "around": pipeline_seed({"find_before", "find_after"},
                                {"find_before": b"job", "find_after": b"export",
                                 "space_before": b"WARN", "space_after": b"ERROR",
                                 "line_before": b"Job", "line_after": b"Nightly"},
                                prepend=b"<< ", append=b" >>", data=report),
        "blank_lines": pipeline_seed({"eliminate", "ascii"}, {}, plus_space=True,
                                     data=mixed + b"\x00\r\n\r\r\n\x00\x00\n \t\n"),
        "case_sensitive": pipeline_seed({"case_sensitive"}, {"find": b"info;Job"},
                                        pairs=b"job;TASK\nINFO;\n", data=report),
        "utf16": pipeline_seed({"ascii"}, {"find": b"a"},
                               data=b"\xff\xfe" + "alpha\r\nbeta\r\n".encode("utf-16-le")),
        "latin": pipeline_seed({"find"}, {"find": b"\xe9t\xe9"}, latin_upper=True,
                               pairs=b"\xc9T\xc9;summer\n", data=b"\xc9T\xc9 \xe9t\xe9\nhiver\n"),
    }
    for name, seed in pipeline.items():
        (HERE / "pipeline" / name).write_bytes(seed)

    # fuzz_replace_file: case, extended, delimiter; list, search, replace; line.
    def replace_seed(list_, search, replace, line, case=False, extended=False):
        front = text(list_) + text(search) + text(replace) + line
        return front + bytes([1, 1 if extended else 0, 1 if case else 0])

    replace = {
        "plain": replace_seed(b"job;export", b"Job", b"Task", b"INFO  Job 18 finished"),
        "anchors": replace_seed(b"^info;finished$;\\^x", b"^INFO", b"I", b"INFO Job finished",
                                extended=True),
        "overlap": replace_seed(b"aa;;a", b"aa", b"aaa", b"aaaaa", case=True),
        "empty_items": replace_seed(b";;;", b"x", b"", b"xxx"),
    }
    for name, seed in replace.items():
        (HERE / "replace_file" / name).write_bytes(seed)


if __name__ == "__main__":
    main()
