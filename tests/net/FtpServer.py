# A pyftpdlib server for the FTP client tests: one user with every right in
# a root folder, on 127.0.0.1 and a port of the system's choice, which it
# prints as its first line. Options make it announce a passive address that
# refuses connections, give up on a missing data connection soon, or move data
# slowly.
import argparse
import logging

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, PassiveDTP, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer

parser = argparse.ArgumentParser()
parser.add_argument("--root", required=True)
parser.add_argument("--user", default="alice")
parser.add_argument("--password", default="secret")
parser.add_argument("--masquerade", help="address announced by PASV")
parser.add_argument("--data-timeout", type=float, default=30, help="seconds to wait for a passive connection")
parser.add_argument("--throttle", type=int, default=0, help="bytes per second on data connections")
args = parser.parse_args()

logging.basicConfig(level=logging.WARNING)
authorizer = DummyAuthorizer()
authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")


class Passive(PassiveDTP):
    timeout = args.data_timeout


class Handler(FTPHandler):
    auth_failed_timeout = 0  # answer a wrong password at once


Handler.authorizer = authorizer
Handler.passive_dtp = Passive
if args.masquerade:
    Handler.masquerade_address = args.masquerade
if args.throttle:
    class Throttled(ThrottledDTPHandler):
        read_limit = args.throttle
        write_limit = args.throttle
    Handler.dtp_handler = Throttled

server = FTPServer(("127.0.0.1", 0), Handler)
print(server.address[1], flush=True)
server.serve_forever(handle_exit=True)
