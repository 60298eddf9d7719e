# Test scaffolding: writes every task's result on every host, and the play recap's counts,
# as JSON lines to the file $FLASHTOOL_RESULTS_FILE, for the fleet tests to read.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

import json
import os

from ansible.plugins.callback import CallbackBase


class CallbackModule(CallbackBase):
    CALLBACK_VERSION = 2.0
    CALLBACK_TYPE = 'notification'
    CALLBACK_NAME = 'results_file'
    CALLBACK_NEEDS_ENABLED = True

    def _write(self, record):
        with open(os.environ['FLASHTOOL_RESULTS_FILE'], 'a') as lines:
            lines.write(json.dumps(record, default=str) + '\n')

    def _result(self, status, result):
        self._write({'host': result._host.get_name(), 'task': result._task.get_name(),
                     'status': status, 'result': result._result})

    def v2_runner_on_ok(self, result):
        self._result('ok', result)

    def v2_runner_on_failed(self, result, ignore_errors=False):
        self._result('failed', result)

    def v2_runner_on_skipped(self, result):
        self._result('skipped', result)

    def v2_runner_on_unreachable(self, result):
        self._result('unreachable', result)

    def v2_playbook_on_stats(self, stats):
        self._write({'stats': {host: stats.summarize(host) for host in sorted(stats.processed)}})
