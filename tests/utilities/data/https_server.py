"""HTTPS test server: answers every GET with the path and the common name of
the client certificate ("none" without one). Prints its port, then serves
until killed.  usage: https_server.py CERT KEY [CLIENT_CA]"""
import http.server
import ssl
import sys


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        cert = self.connection.getpeercert()
        who = "none"
        if cert:
            for rdn in cert.get("subject", ()):
                for key, value in rdn:
                    if key == "commonName":
                        who = value
        body = ("client=%s path=%s" % (who, self.path)).encode()
        self.send_response(200)
        self.send_header("Content-Type", "text/plain; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(sys.argv[1], sys.argv[2])
if len(sys.argv) > 3:
    context.verify_mode = ssl.CERT_OPTIONAL
    context.load_verify_locations(sys.argv[3])
server.socket = context.wrap_socket(server.socket, server_side=True)
print(server.server_port, flush=True)
server.serve_forever()
