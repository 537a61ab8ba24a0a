"""The demo portal's servers: one thread per request, over plain http or,
with an SSL context, over https (the handshake runs on the request's own
thread, and the context's certificate may be changed while it serves)."""

import ssl
import sys
from http.server import ThreadingHTTPServer


class PortalServer(ThreadingHTTPServer):
    daemon_threads = True
    tls = None  # the SSL context of an https server

    def handle_error(self, request, client_address):
        # A client that refuses the certificate ends its handshake; that is
        # no fault of the portal's.
        if not isinstance(sys.exc_info()[1], (ssl.SSLError, ConnectionError)):
            super().handle_error(request, client_address)


def portal_server(handler, host, port, tls=None):
    server = PortalServer((host, port), handler)
    if tls is not None:
        server.tls = tls
        server.socket = tls.wrap_socket(server.socket, server_side=True,
                                        do_handshake_on_connect=False)
    return server
