"""Reads a Japanese-form mail with Python's email package and compares the
decoded From display name, Subject and body with the expected texts.

usage: read_japanese_mail.py MAIL EXPECTED
EXPECTED holds the display name, the subject and then the body (UTF-8).
"""
import email
import email.policy
import sys


def main():
    with open(sys.argv[1], "rb") as f:
        message = email.message_from_binary_file(f, policy=email.policy.default)
    with open(sys.argv[2], encoding="utf-8") as f:
        name, subject, body = f.read().split("\n", 2)

    failures = []
    if message.get_content_type() != "multipart/mixed":
        failures.append("type " + message.get_content_type())
    sender = message["From"].addresses[0]
    if (sender.display_name, sender.addr_spec) != (name, "watch@example.com"):
        failures.append("From %r %r" % (sender.display_name, sender.addr_spec))
    if str(message["Subject"]) != subject:
        failures.append("Subject %r" % str(message["Subject"]))
    if message["Date"].datetime.utcoffset().total_seconds() != 9 * 3600:
        failures.append("Date %r" % str(message["Date"]))
    parts = list(message.iter_parts())
    if len(parts) != 1 or parts[0].get_content_charset() != "shift_jis":
        failures.append("parts %r" % [p.get("Content-Type") for p in parts])
    elif parts[0].get_content().replace("\r\n", "\n") != body.replace("\r\n", "\n"):
        failures.append("body %r" % parts[0].get_content())
    if message.defects or any(p.defects for p in parts):
        failures.append("defects %r" % (message.defects + [d for p in parts for d in p.defects]))

    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
