#!/usr/bin/env python3
"""A storm of messages into `tuvommlc --lsp`: random edits of open songs,
random queries at random positions, random JSON of every shape, and random
bytes framed and unframed. The server must answer a last query after all of
them, shut down and exit 0 once its input closes, within a CPU time limit
(no wall clock) and, outside the sanitizers' build, a bound on its memory.
Under AddressSanitizer a leak or a fault fails the exit code.

Usage: lsp_storm.py PROGRAM [--messages N] [--seed S] [--no-memory-limit]
"""
import argparse
import json
import os
import random
import resource
import subprocess
import sys
import tempfile
import threading

FRAGMENTS = ['c', 'd4', 'e8.', 'r', 'l8', 'o5', '>', '<', '@VIB5,240', '@vib', '/:', ':/', '/',
             '"\u3042\u3044"', '"', '\\m', '\\{m 1,2}', '.macro \\m { c }', '.equ \\e c d',
             '.include "part.mml"', '@SGR0,0,"A"', '@"A"', '1,2', '2', ';x', '\n', ' ', '&',
             '\U0001F3B5', '\u3042', '\\', '{', '}', '@', '*', '#', '^', '@DYN64,0,480,0']
METHODS = ['textDocument/hover', 'textDocument/completion', 'textDocument/definition',
           'textDocument/documentSymbol', 'textDocument/inlayHint', 'workspace/executeCommand',
           'no/such/method', 'initialize', '$/cancelRequest']


def frame(body):
    return b'Content-Length: %d\r\n\r\n' % len(body) + body


def random_json(rng, depth=0):
    kind = rng.randrange(7 if depth < 3 else 4)
    if kind == 0:
        return rng.randrange(-2**40, 2**40)
    if kind == 1:
        return ''.join(rng.choice(FRAGMENTS) for _ in range(rng.randrange(4)))
    if kind == 2:
        return rng.choice([None, True, False, 1.5, -0.0])
    if kind == 3:
        return rng.choice(['file:///x.mml', {}, [], 'textDocument'])
    if kind == 4:
        return [random_json(rng, depth + 1) for _ in range(rng.randrange(4))]
    keys = ['jsonrpc', 'id', 'method', 'params', 'textDocument', 'uri', 'position', 'line',
            'character', 'range', 'contentChanges', 'text', 'command', 'arguments']
    return {rng.choice(keys): random_json(rng, depth + 1) for _ in range(rng.randrange(5))}


def position(rng):
    return {'line': rng.choice([0, 1, 2, 5, 100, -1, 2**31]), 'character': rng.choice([0, 1, 3, 7, 500, -5])}


def storm(rng, uris, count):
    yield frame(json.dumps({'jsonrpc': '2.0', 'id': 0, 'method': 'initialize', 'params': {}}).encode())
    yield frame(b'{"jsonrpc":"2.0","method":"initialized","params":{}}')
    for uri in uris:
        yield frame(json.dumps({'jsonrpc': '2.0', 'method': 'textDocument/didOpen', 'params': {
            'textDocument': {'uri': uri, 'languageId': 'tuvo-mml', 'version': 1, 'text': 'c d e\n'}}}).encode())
    for number in range(1, count + 1):
        kind = rng.random()
        uri = rng.choice(uris)
        if kind < 0.4:
            if rng.random() < 0.05:
                change = {'text': ''.join(rng.choice(FRAGMENTS) for _ in range(rng.randrange(30)))}
            else:
                change = {'range': {'start': position(rng), 'end': position(rng)},
                          'text': ''.join(rng.choice(FRAGMENTS) for _ in range(rng.randrange(4)))}
            message = {'jsonrpc': '2.0', 'method': 'textDocument/didChange',
                       'params': {'textDocument': {'uri': uri, 'version': number}, 'contentChanges': [change]}}
        elif kind < 0.6:
            message = {'jsonrpc': '2.0', 'id': number, 'method': rng.choice(METHODS),
                       'params': {'textDocument': {'uri': uri}, 'position': position(rng),
                                  'range': {'start': position(rng), 'end': position(rng)},
                                  'command': 'tuvommlc.compile', 'arguments': [uri, {'midi': False}]}}
            if message['method'] == 'workspace/executeCommand' and rng.random() < 0.9:
                message['params']['command'] = 'other'  # a compile writes files: few of them
        elif kind < 0.8:
            message = random_json(rng)
        else:
            junk = bytes(rng.randrange(256) for _ in range(rng.randrange(64)))
            # Framed, or loose and ended by a blank line so the framing finds its feet again.
            yield frame(junk) if rng.random() < 0.5 else junk + b'\r\n\r\n'
            continue
        yield frame(json.dumps(message).encode())
    # The last query after the storm, then the end.
    yield frame(json.dumps({'jsonrpc': '2.0', 'id': 'last', 'method': 'textDocument/documentSymbol',
                            'params': {'textDocument': {'uri': uris[0]}}}).encode())
    yield frame(b'{"jsonrpc":"2.0","id":"bye","method":"shutdown"}')


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('program')
    parser.add_argument('--messages', type=int, default=10000)
    parser.add_argument('--seed', type=int, default=28)
    parser.add_argument('--no-memory-limit', action='store_true')
    args = parser.parse_args()
    args.program = os.path.abspath(args.program)
    rng = random.Random(args.seed)
    with tempfile.TemporaryDirectory() as folder:
        with open(os.path.join(folder, 'part.mml'), 'w') as part:
            part.write('c d\n')
        uris = ['file://' + os.path.join(folder, name) for name in ('song.mml', 'part.mml', 'other.mml')]

        def limits():
            resource.setrlimit(resource.RLIMIT_CPU, (600, 600))
            if not args.no_memory_limit:
                resource.setrlimit(resource.RLIMIT_AS, (2 << 30, 2 << 30))

        server = subprocess.Popen([args.program, '--lsp'], cwd=folder, stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE, preexec_fn=limits)
        output = []
        reader = threading.Thread(target=lambda: output.append(server.stdout.read()))
        reader.start()
        try:
            for chunk in storm(rng, uris, args.messages):
                server.stdin.write(chunk)
            server.stdin.close()
        except BrokenPipeError:
            pass
        code = server.wait()
        reader.join()
    answers = {}
    data = output[0] if output else b''
    while data:
        header, _, rest = data.partition(b'\r\n\r\n')
        length = int(header.split(b':')[1])
        message = json.loads(rest[:length])
        data = rest[length:]
        if 'id' in message:
            answers[message['id']] = message
    if code != 0:
        sys.exit('the server exited with %d' % code)
    if 'result' not in answers.get('last', {}) or 'result' not in answers.get('bye', {}):
        sys.exit('the server did not answer after the storm')
    print('%d messages: the server answered %d requests and exited cleanly' % (args.messages, len(answers)))


if __name__ == '__main__':
    main()
