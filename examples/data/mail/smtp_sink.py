"""SMTP sink for tests: accepts mail on 127.0.0.1 (port printed first), with
AUTH PLAIN for anna/geheim when asked (--auth), refuses recipients that start
with "unknown" (550), and prints each message as one JSON line: envelope
sender, recipients and the data in base64."""
import asyncio
import base64
import json
import sys

from aiosmtpd.smtp import SMTP, AuthResult


class Sink:
    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.startswith("unknown"):
            return "550 5.1.1 <%s>: user unknown" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        print(json.dumps({"from": envelope.mail_from, "rcpt": envelope.rcpt_tos,
                          "data": base64.b64encode(envelope.original_content).decode()}), flush=True)
        return "250 Message accepted"


def authenticate(server, session, envelope, mechanism, auth_data):
    ok = auth_data.login == b"anna" and auth_data.password == b"geheim"
    return AuthResult(success=ok, handled=False)  # handled=False: the server answers 535


async def main():
    auth = "--auth" in sys.argv
    loop = asyncio.get_running_loop()
    server = await loop.create_server(
        lambda: SMTP(Sink(), decode_data=False, authenticator=authenticate if auth else None,
                     auth_required=auth, auth_require_tls=False),
        "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    await server.serve_forever()


asyncio.run(main())
