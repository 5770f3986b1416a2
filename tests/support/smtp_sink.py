#!/usr/bin/python3
"""A real SMTP server for tests: aiosmtpd on a loopback port of its own.

Usage: /usr/bin/python3 smtp_sink.py FOLDER

Every message it accepts is saved in FOLDER as NNNN.eml (the data exactly as
received, dot-stuffing removed), beside NNNN.envelope (the MAIL FROM address,
then one RCPT TO address a line). The .eml file appears last, complete.
When it is ready it prints its port number on a line of its own. It stops
when its standard input is closed, so it never outlives the test that
started it.
"""

import asyncio
import os
import sys

from aiosmtpd.smtp import SMTP


class SavingHandler:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.folder, "%04d" % self.count)
        with open(base + ".envelope", "w", encoding="utf-8", errors="surrogateescape") as out:
            out.write(str(envelope.mail_from) + "\n")
            for recipient in envelope.rcpt_tos:
                out.write(recipient + "\n")
        with open(base + ".tmp", "wb") as out:
            out.write(envelope.original_content)
        os.rename(base + ".tmp", base + ".eml")
        return "250 Message accepted"


async def serve(folder):
    loop = asyncio.get_running_loop()
    handler = SavingHandler(folder)
    server = await loop.create_server(
        lambda: SMTP(handler, hostname="sink.test", decode_data=False),
        host="127.0.0.1", port=0)
    print(server.sockets[0].getsockname()[1], flush=True)
    await loop.run_in_executor(None, sys.stdin.read)
    server.close()


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: smtp_sink.py FOLDER")
    asyncio.run(serve(sys.argv[1]))
