#!/usr/bin/env python3
"""Benchmarks the language server against a check-only compile.

A generated song (bench/gen_song.py) is opened in `tuvommlc --lsp`; then,
edit after edit, the time from sending an incremental change (a blank put at
the start of the text) until its diagnostics arrive. Beside it, the one-shot
compile of the same text as a check: the song ends in a line the compiler
rejects (`#`), so the program runs the whole front end (dictionary, source,
preprocessor, parser, compiler) and writes nothing, which is what the server
does on each edit. Runs of the two alternate; medians of wall time are
printed, with their ratio (target: at most 1.5).
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


class Server:
    def __init__(self, program, cwd):
        self.process = subprocess.Popen([program, "--lsp"], cwd=cwd, stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE)
        self.next_id = 0

    def send(self, message):
        body = json.dumps(message).encode()
        self.process.stdin.write(b"Content-Length: %d\r\n\r\n" % len(body) + body)
        self.process.stdin.flush()

    def receive(self):
        length = None
        while True:
            line = self.process.stdout.readline()
            if not line:
                sys.exit("the server ended")
            if line in (b"\r\n", b"\n"):
                break
            if line.lower().startswith(b"content-length:"):
                length = int(line.split(b":")[1])
        return json.loads(self.process.stdout.read(length))

    def request(self, method, params):
        self.next_id += 1
        self.send({"jsonrpc": "2.0", "id": self.next_id, "method": method, "params": params})
        while True:
            message = self.receive()
            if message.get("id") == self.next_id:
                return message

    def diagnostics(self):
        while True:
            message = self.receive()
            if message.get("method") == "textDocument/publishDiagnostics":
                return message["params"]["diagnostics"]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(HERE, "..", "build"))
    parser.add_argument("--notes", type=int, default=10000)
    parser.add_argument("--runs", type=int, default=11)
    args = parser.parse_args()
    program = os.path.abspath(os.path.join(args.build, "tuvommlc"))
    with tempfile.TemporaryDirectory() as folder:
        song = os.path.join(folder, "song.mml")
        generated = subprocess.run([sys.executable, os.path.join(HERE, "gen_song.py"), "--notes",
                                    str(args.notes), "--tracks", "4"], check=True,
                                   capture_output=True).stdout
        text = generated.decode("cp932") + "\n#\n"
        with open(song, "wb") as f:
            f.write(text.encode("cp932"))
        server = Server(program, folder)
        server.request("initialize", {"processId": None, "rootUri": None, "capabilities": {}})
        uri = "file://" + song
        server.send({"jsonrpc": "2.0", "method": "textDocument/didOpen", "params": {
            "textDocument": {"uri": uri, "languageId": "tuvo-mml", "version": 1, "text": text}}})
        first = server.diagnostics()
        if [d["code"] for d in first if d["severity"] == 1] != ["unknown-command-token"]:
            sys.exit("the song should have one error, at its end: %s" % first[:3])
        edits, checks = [], []
        for run in range(args.runs):
            start = time.perf_counter()
            server.send({"jsonrpc": "2.0", "method": "textDocument/didChange", "params": {
                "textDocument": {"uri": uri, "version": run + 2},
                "contentChanges": [{"range": {"start": {"line": 0, "character": 0},
                                              "end": {"line": 0, "character": 0}}, "text": " "}]}})
            server.diagnostics()
            edits.append(time.perf_counter() - start)
            start = time.perf_counter()
            subprocess.run([program, song], cwd=folder, stdout=subprocess.DEVNULL)
            checks.append(time.perf_counter() - start)
        server.request("shutdown", None)
        server.send({"jsonrpc": "2.0", "method": "exit"})
        server.process.wait()
    edit, check = statistics.median(edits), statistics.median(checks)
    print("| notes | edit -> diagnostics (median) | check-only compile (median) | ratio |")
    print("|---:|---:|---:|---:|")
    print("| %d | %.3f s | %.3f s | %.2f |" % (args.notes, edit, check, edit / check))


if __name__ == "__main__":
    main()
