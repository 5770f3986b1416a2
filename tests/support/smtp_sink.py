#!/usr/bin/python3
"""A real SMTP server for tests: aiosmtpd on a loopback port of its own.

Usage: /usr/bin/python3 smtp_sink.py FOLDER [--starttls|--tls CERT KEY]
                                             [--auth USER PASSWORD] [--login-only]

--starttls requires STARTTLS before anything else, --tls speaks TLS from the
first byte; --auth requires that login (UTF-8) and counts every AUTH attempt
as one line of FOLDER/auth.log; --login-only offers AUTH LOGIN only.

Every message it accepts is saved in FOLDER as NNNN.eml (the data exactly as
received, dot-stuffing removed), beside NNNN.envelope (the MAIL FROM address,
then one RCPT TO address a line). The .eml file appears last, complete.
When it is ready it prints its port number on a line of its own. It stops
when its standard input is closed, so it never outlives the test that
started it.
"""

import argparse
import asyncio
import os
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult


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


class Authenticator:
    def __init__(self, folder, user, password):
        self.log = os.path.join(folder, "auth.log")
        self.login = (user.encode("utf-8"), password.encode("utf-8"))

    def __call__(self, server, session, envelope, mechanism, auth_data):
        with open(self.log, "a", encoding="utf-8") as out:
            out.write(mechanism + "\n")
        # handled=False: aiosmtpd then answers a refusal with 535 itself.
        return AuthResult(success=(auth_data.login, auth_data.password) == self.login,
                          handled=False)


def server_options(args):
    options = {}
    if args.starttls or args.tls:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(*(args.starttls or args.tls))
        if args.starttls:
            options.update(tls_context=context, require_starttls=True)
    if args.auth:
        options.update(authenticator=Authenticator(args.folder, *args.auth), auth_required=True,
                       # From the first byte the transport is TLS already.
                       auth_require_tls=not args.tls)
    if args.login_only:
        options.update(auth_exclude_mechanism=["PLAIN"])
    return options


async def serve(args):
    loop = asyncio.get_running_loop()
    handler = SavingHandler(args.folder)
    options = server_options(args)
    implicit = None
    if args.tls:
        implicit = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        implicit.load_cert_chain(*args.tls)
    server = await loop.create_server(
        lambda: SMTP(handler, hostname="sink.test", decode_data=False, **options),
        host="127.0.0.1", port=0, ssl=implicit)
    print(server.sockets[0].getsockname()[1], flush=True)
    await loop.run_in_executor(None, sys.stdin.read)
    server.close()


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--starttls", nargs=2, metavar=("CERT", "KEY"))
    parser.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"))
    parser.add_argument("--auth", nargs=2, metavar=("USER", "PASSWORD"))
    parser.add_argument("--login-only", action="store_true")
    asyncio.run(serve(parser.parse_args()))
