"""Modified UTF-7 (RFC 3501, 5.1.3) for the benchmark scripts' folder names."""

import base64


def encode(name: str) -> str:
    out, run = [], []

    def flush():
        if run:
            data = "".join(run).encode("utf-16-be")
            out.append("&" + base64.b64encode(data).decode().rstrip("=").replace("/", ",") + "-")
            run.clear()

    for ch in name:
        if 0x20 <= ord(ch) <= 0x7E:
            flush()
            out.append("&-" if ch == "&" else ch)
        else:
            run.append(ch)
    flush()
    return "".join(out)
