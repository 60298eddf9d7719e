"""python3-dbusmock's logind template, run as `python3 -m dbusmock --template logind`
does, with one addition: every call that reaches org.freedesktop.login1.Manager is
recorded with its signature and its allow-interactive-authorization header flag, which the
template's own call log leaves out. A test reads and clears the record with
org.flashtool.Test.TakeReceived() on /org/freedesktop/login1.
"""

import runpy
import sys

import dbus.service
from dbusmock import mockobject

mockobject.received = []
_dispatch = dbus.service.Object._message_cb


def _recording_dispatch(self, connection, message):
    if message.get_interface() == 'org.freedesktop.login1.Manager':
        mockobject.received.append((message.get_member(), message.get_signature(),
                                    message.get_allow_interactive_authorization()))
    return _dispatch(self, connection, message)


dbus.service.Object._message_cb = _recording_dispatch
sys.argv = ['dbusmock', '--system', '--template', 'logind'] + sys.argv[1:]
runpy.run_module('dbusmock', run_name='__main__')
