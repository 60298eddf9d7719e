#!/usr/bin/env python3
# The Ansible module (contrib/ansible/library/flashtool.py) and the example rollout
# (contrib/ansible/rollout.yml) against flashtool-emulated's drives, each host's kept in a
# scenario file of its own by tests/ansible/persisting-drives.
#
# Usage: fleet_test.py module|rollout|failing-batch SOURCE_ROOT EMULATED_PROGRAM WORK_DIR
# Run with the Python that runs ansible-playbook (run.sh finds it). Exits 1 on a failed check.

import copy
import json
import os
import shutil
import subprocess
import sys

TARGET = 'ORIN    DVD RW QV-5500A '
OTHER = 'KESTREL DVD-ROM KD-1650 '
# The demo build's target takes its 128th page command as the end of the image.
REFUSES_IMAGE = [{'opcode': 'FA', 'occurrence': 128, 'result': 'check-condition',
                  'sense': '05/26/00'}]

failures = []
outputs = []  # every ansible-playbook's, shown whole when a check failed


def expect(condition, what):
    if not condition:
        failures.append(what)
        print('FAILED: ' + what)


def target(revision, **more):
    return dict({'identification': TARGET, 'revision': revision}, **more)


def other():
    return {'identification': OTHER, 'revision': '0113'}


class Paths:
    def __init__(self, source, emulated, work):
        self.source = os.path.abspath(source)
        self.emulated = os.path.abspath(emulated)
        self.work = os.path.abspath(work)
        here = os.path.join(self.source, 'tests', 'ansible')
        self.wrapper = os.path.join(here, 'persisting-drives')
        self.canned = os.path.join(here, 'canned-answer')
        self.callbacks = os.path.join(here, 'callback_plugins')
        self.module = os.path.join(self.source, 'contrib', 'ansible', 'library', 'flashtool.py')
        self.playbook = os.path.join(self.source, 'contrib', 'ansible', 'rollout.yml')
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)

    def scenario(self, name, drives):
        path = os.path.join(self.work, name + '.json')
        with open(path, 'w') as out:
            json.dump({'description': 'the drives of ' + name, 'drives': drives}, out, indent=2)
        return path


def revisions(path):
    with open(path) as source:
        return [drive['revision'] for drive in json.load(source)['drives']]


def environment(paths, **more):
    # No bytecode: the callback plugin is loaded from the source tree, which stays clean.
    return dict(os.environ, FLASHTOOL_EMULATED=paths.emulated, PYTHONDONTWRITEBYTECODE='1',
                **more)


def run_module(paths, arguments, env):
    """The module on its own, run as Ansible runs it, with its standard input an open pipe
    that never carries anything: a question asked there would wait for ever."""
    args_file = os.path.join(paths.work, 'args.json')
    with open(args_file, 'w') as out:
        json.dump({'ANSIBLE_MODULE_ARGS': arguments}, out)
    reader, writer = os.pipe()
    try:
        process = subprocess.run([sys.executable, paths.module, args_file], stdin=reader,
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env,
                                 timeout=120, check=False)
    finally:
        os.close(reader)
        os.close(writer)
    try:
        return json.loads(process.stdout)
    except ValueError:
        return {'failed': True, 'msg': 'no JSON from the module: %r %r'
                % (process.stdout[-400:], process.stderr[-400:])}


def canned(status, output):
    """The parameters of a case whose program is canned-answer: its exit status and output."""
    return {'CANNED_STATUS': str(status), 'CANNED_OUTPUT': output}


def canned_document(ending, result, status, after='1.0d'):
    drive = {'row': 0, 'identification': TARGET, 'revisionBefore': '1.0d',
             'revisionAfter': after, 'ending': ending, 'verified': False,
             'resultCode': None, 'result': result, 'exitStatus': status, 'log': []}
    return json.dumps({'action': 'update', 'build': {'model': TARGET, 'revision': '1.0e'},
                       'drives': [drive], 'summary': '1 ' + ending, 'exitStatus': status,
                       'error': None})


# name, the host's drives, the module's parameters, check mode, then what must come back:
# failed, changed, rc, the drives' endings, reboot_required, a piece of msg, and the
# scenario file's revisions after the run (None: not looked at).
MODULE_CASES = [
    # An update takes the program's 5 s settle after the run: few cases update.
    ('an older drive is updated, and by default only the drives of the build\'s model',
     [other(), target('1.0d'), other()], {}, False,
     False, True, 0, ['updated'], True, None, ['0113', '1.0e', '0113']),
    ('a drive up to date is ok and unchanged', [target('1.0e')], {}, False,
     False, False, 3, ['upToDate'], False, None, ['1.0e']),
    ('check mode says an update would start and sends nothing', [target('1.0d')], {}, True,
     False, True, 0, ['canUpdate'], True, None, ['1.0d']),
    ('check mode on a drive up to date', [target('1.0e')], {}, True,
     False, False, 3, ['upToDate'], False, None, ['1.0e']),
    ('a drive that fails the update fails the host', [target('1.0d', faults=REFUSES_IMAGE)], {},
     False, True, False, 15, ['failed'], True, 'the update FAILED (UpdateFailed)', ['1.0d']),
    ('a disc in the tray is refused', [target('1.0d', disc='present')], {}, False,
     True, False, 19, ['refused'], False, 'not updated (DiscPresent)', ['1.0d']),
    ('a check that would be refused fails the host too', [target('1.0d', disc='present')], {},
     True, True, False, 19, ['refused'], False, 'an update would be refused (DiscPresent)',
     ['1.0d']),
    ('a newer drive is refused', [target('1.0f')], {}, False,
     True, False, 18, ['refused'], False, 'allow_older installs the older one', ['1.0f']),
    ('allow_older installs over a newer drive', [target('1.0f')], {'allow_older': True}, False,
     False, True, 0, ['updated'], True, None, ['1.0e']),
    ('allow_reinstall would install again', [target('1.0e')], {'allow_reinstall': True}, True,
     False, True, 0, ['canUpdate'], True, None, ['1.0e']),
    ('a host with no drive of the model fails', [other()], {}, False,
     True, False, 0, [], False, "no drive of this build's model", ['0113']),
    ('named drives run one after another, their documents merged',
     [target('1.0d'), other(), target('1.0e')], {'drives': [0, 2]}, False,
     False, True, 3, ['updated', 'upToDate'], True, None, ['1.0e', '0113', '1.0e']),
    ('after a drive that failed the next is not attempted',
     [target('1.0d', faults=REFUSES_IMAGE), target('1.0d')], {}, False,
     True, False, 15, ['failed'], True, 'Not attempted: 1.', ['1.0d', '1.0d']),
    ('check mode checks every drive, past a refusal',
     [target('1.0d', disc='present'), target('1.0d')], {}, True,
     True, True, 19, ['refused', 'canUpdate'], True, 'DiscPresent', ['1.0d', '1.0d']),
    ('a named drive that is not there', [target('1.0d')], {'drives': ['/dev/sg7']}, False,
     True, False, 1, [], False, "no drive '/dev/sg7'", ['1.0d']),
    ('an option the module gives itself is refused before anything runs', [target('1.0d')],
     {'options_more': ['--restart']}, False,
     True, False, None, [], False, "options: --restart is the module's to give", ['1.0d']),
    ('a short option that answers the questions is refused', [target('1.0d')],
     {'options_more': ['-qy']}, False,
     True, False, None, [], False, "options: -y is the module's", ['1.0d']),
    ('an action among the options is refused', [target('1.0d')],
     {'options_more': ['--update=0']}, False,
     True, False, None, [], False, "options: --update is the module's", ['1.0d']),
    ('a drive that is neither a row nor a node', [target('1.0d')], {'drives': ['--all']}, False,
     True, False, None, [], False, "'--all' is neither a row nor a node", ['1.0d']),
    ('an empty list of drives', [target('1.0d')], {'drives': []}, False,
     True, False, None, [], False, 'drives lists no drive', ['1.0d']),
    ('a program that is not there', [target('1.0d')], {'program': 'no-such-flashtool'}, False,
     True, False, None, [], False, 'no-such-flashtool is not in PATH', ['1.0d']),
    ('not confirmed fails the host and asks for a restart', None,
     canned(20, canned_document('notConfirmed', 'NotConfirmed', 20)), False,
     True, False, 20, ['notConfirmed'], True, 'NOT CONFIRMED', None),
    ('a document that contradicts the exit status is no success', None,
     canned(0, canned_document('failed', 'UpdateFailed', 15)), False,
     True, False, 0, [], False, 'no JSON document that agrees with it', None),
    ('a status of 0 beside a drive that failed is no success', None,
     canned(0, canned_document('failed', 'UpdateFailed', 0, after='1.0e')), False,
     True, False, 0, ['failed'], True, 'the update FAILED', None),
    ('output that is not JSON is no success', None,
     canned(0, '======== SUCCEED ========\n'), False,
     True, False, 0, [], False, 'SUCCEED', None),
]


def module_case(paths, case):
    (name, drives, params, check_mode, failed, changed, rc, endings, reboot, message,
     after) = case
    params = copy.deepcopy(params)
    env = environment(paths)
    arguments = {'_ansible_check_mode': check_mode}
    scenario = None
    if 'CANNED_STATUS' in params:
        env.update(CANNED_STATUS=params.pop('CANNED_STATUS'),
                   CANNED_OUTPUT=params.pop('CANNED_OUTPUT'))
        params['program'] = paths.canned
    else:
        scenario = paths.scenario('case', drives)
        arguments['program'] = paths.wrapper
        arguments['options'] = ['--drives', scenario] + params.pop('options_more', [])
    arguments.update(params)
    result = run_module(paths, arguments, env)
    got = (result.get('failed'), result.get('changed'), result.get('rc'),
           [drive.get('ending') for drive in result.get('drives', [])],
           result.get('reboot_required'))
    expect(got == (failed, changed, rc, endings, reboot),
           '%s: (failed, changed, rc, endings, reboot_required) %r, not %r: %s'
           % (name, got, (failed, changed, rc, endings, reboot), result.get('msg')))
    if message is not None:
        expect(message in result.get('msg', ''), '%s: msg %r' % (name, result.get('msg')))
    for key in ('changed', 'drives', 'reboot_required', 'rc', 'summary', 'commands'):
        expect(key in result, '%s: no %s in the result' % (name, key))
    if after is not None:
        expect(revisions(scenario) == after,
               '%s: the drives are at %r, not %r' % (name, revisions(scenario), after))
    if check_mode:
        expect(all('--check=' in ' '.join(command) and '--yes' not in command
                   for command in result.get('commands', [])),
               '%s: check mode ran %r' % (name, result.get('commands')))


def test_module(paths):
    for case in MODULE_CASES:
        module_case(paths, case)
    # Its documentation is YAML that only ansible-doc reads; a slip there breaks no run.
    process = subprocess.run(['ansible-doc', '-M', os.path.dirname(paths.module), 'flashtool'],
                             stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, check=False)
    text = process.stdout.decode('utf-8', 'replace')
    expect(process.returncode == 0 and 'RETURN VALUES' in text and 'reboot_required' in text,
           'ansible-doc cannot read the module\'s documentation: ' + text[-600:])


class Fleet:
    """Hosts on this computer (ansible_connection: local), each with its own drives."""

    def __init__(self, paths, hosts):
        self.paths = paths
        self.files = {name: paths.scenario(name, drives) for name, drives in hosts.items()}
        host_vars = {
            name: {'ansible_connection': 'local', 'ansible_python_interpreter': sys.executable,
                   'ansible_become': False, 'flashtool_program': paths.wrapper,
                   'flashtool_options': ['--drives', path]}
            for name, path in self.files.items()}
        self.inventory = os.path.join(paths.work, 'inventory.json')
        with open(self.inventory, 'w') as out:
            json.dump({'drive_hosts': {'hosts': host_vars}}, out, indent=2)
        self.config = os.path.join(paths.work, 'ansible.cfg')
        open(self.config, 'w').close()

    def state(self):
        """Every host's scenario file, as bytes: what a run must leave alone."""
        contents = {}
        for name, path in self.files.items():
            with open(path, 'rb') as source:
                contents[name] = source.read()
        return contents

    def revisions(self):
        return {name: revisions(path) for name, path in self.files.items()}

    def playbook(self, *arguments):
        """ansible-playbook over the example rollout: its exit status, the module's result on
        each host, every host's other tasks, the recap's counts, and what it printed. No host
        restarts: the restart step is switched off (and Ansible refuses it on a local
        connection in any case)."""
        results = os.path.join(self.paths.work, 'results.jsonl')
        if os.path.exists(results):
            os.remove(results)
        temp = os.path.join(self.paths.work, 'tmp')
        env = environment(self.paths, ANSIBLE_CONFIG=self.config, ANSIBLE_NOCOLOR='1',
                          ANSIBLE_CALLBACK_PLUGINS=self.paths.callbacks,
                          ANSIBLE_CALLBACKS_ENABLED='results_file',
                          ANSIBLE_LOCAL_TEMP=temp, ANSIBLE_REMOTE_TMP=temp,
                          FLASHTOOL_RESULTS_FILE=results)
        command = ['ansible-playbook', '-i', self.inventory, self.paths.playbook,
                   '-e', 'flashtool_reboot=false'] + list(arguments)
        process = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                 stderr=subprocess.STDOUT, env=env, timeout=300, check=False)
        output = process.stdout.decode('utf-8', 'replace')
        outputs.append(output)
        records = []
        if os.path.exists(results):
            with open(results) as lines:
                records = [json.loads(line) for line in lines]
        stats = next((record['stats'] for record in records if 'stats' in record), {})
        tasks = [record for record in records if 'task' in record]
        updates = {record['host']: record for record in tasks
                   if record['task'] == 'Update the drives'}
        return process.returncode, updates, tasks, stats, output


def recap(output):
    return output[output.find('PLAY RECAP'):].rstrip()


def rollout_hosts():
    return {
        'host-a': [target('1.0d')],
        'host-b': [target('1.0d'), other()],
        'host-c': [target('1.0e'), target('1.0d')],
        'host-d': [target('1.0e')],
    }


def no_restart(tasks, what):
    restarts = [record for record in tasks if record['task'].startswith('Restart')]
    expect(restarts and all(record['status'] == 'skipped' for record in restarts),
           '%s: the restart step was not skipped everywhere: %r' % (what, restarts))


def test_rollout(paths):
    fleet = Fleet(paths, rollout_hosts())
    would_update = {'host-a': True, 'host-b': True, 'host-c': True, 'host-d': False}

    before = fleet.state()
    status, updates, tasks, stats, output = fleet.playbook('--check')
    print('== check run\n' + recap(output))
    expect(status == 0, 'check run: ansible-playbook exited %d' % status)
    expect(fleet.state() == before, 'check run: a drive changed')
    for host, changes in would_update.items():
        result = updates.get(host, {}).get('result', {})
        expect(result.get('changed') == changes and not result.get('failed'),
               'check run: %s: %r' % (host, result))
        expect(stats.get(host, {}).get('failures') == 0, 'check run: %s failed' % host)
    no_restart(tasks, 'check run')

    status, updates, tasks, stats, output = fleet.playbook()
    print('== rollout\n' + recap(output))
    expect(status == 0, 'rollout: ansible-playbook exited %d' % status)
    expect(fleet.revisions() == {'host-a': ['1.0e'], 'host-b': ['1.0e', '0113'],
                                 'host-c': ['1.0e', '1.0e'], 'host-d': ['1.0e']},
           'rollout: the drives are at %r' % fleet.revisions())
    for host, changes in would_update.items():
        result = updates.get(host, {}).get('result', {})
        expect(result.get('changed') == changes and result.get('reboot_required') == changes,
               'rollout: %s: %r' % (host, result))
        expect(stats.get(host, {}).get('changed') == (1 if changes else 0),
               'rollout: %s: recap %r' % (host, stats.get(host)))
    no_restart(tasks, 'rollout')

    after = fleet.state()
    status, updates, tasks, stats, output = fleet.playbook()
    print('== second rollout\n' + recap(output))
    expect(status == 0, 'second rollout: ansible-playbook exited %d' % status)
    expect(fleet.state() == after, 'second rollout: a drive changed')
    for host in would_update:
        result = updates.get(host, {}).get('result', {})
        expect(result.get('rc') == 3 and result.get('changed') is False and
               result.get('reboot_required') is False, 'second rollout: %s: %r' % (host, result))
        expect(stats.get(host, {}).get('changed') == 0,
               'second rollout: %s: recap %r' % (host, stats.get(host)))


def test_failing_batch(paths):
    # The batches are 1, 2, then the rest: host-a; host-b and host-c; host-d.
    hosts = rollout_hosts()
    hosts['host-b'] = [target('1.0d', faults=REFUSES_IMAGE)]
    hosts['host-d'] = [target('1.0d')]  # a host that ran would show it
    fleet = Fleet(paths, hosts)
    before = fleet.state()
    status, updates, tasks, stats, output = fleet.playbook()
    print('== rollout with a failing drive on host-b\n' + recap(output))
    expect(status == 2, 'a failed batch: ansible-playbook exited %d, not 2' % status)
    revisions_now = fleet.revisions()
    expect(revisions_now['host-a'] == ['1.0e'], 'host-a was not updated: %r' % revisions_now)
    result = updates.get('host-b', {})
    expect(result.get('status') == 'failed' and
           result.get('result', {}).get('rc') == 15, 'host-b did not fail: %r' % result)
    # host-c shares host-b's batch: its update ran beside the one that failed.
    expect(revisions_now['host-c'] == ['1.0e', '1.0e'], 'host-c: %r' % revisions_now)
    expect(fleet.state()['host-d'] == before['host-d'] and 'host-d' not in updates and
           not any(stats.get('host-d', {}).values()),
           'host-d ran after the batch that failed: %r' % stats.get('host-d'))
    expect(not any(record['host'] == 'host-c' and record['task'].startswith('Restart')
                   for record in tasks), 'host-c went on to the restart step')


def main():
    if len(sys.argv) != 5 or sys.argv[1] not in ('module', 'rollout', 'failing-batch'):
        sys.stderr.write('usage: fleet_test.py module|rollout|failing-batch SOURCE_ROOT '
                         'EMULATED_PROGRAM WORK_DIR\n')
        return 2
    paths = Paths(*sys.argv[2:])
    {'module': test_module, 'rollout': test_rollout,
     'failing-batch': test_failing_batch}[sys.argv[1]](paths)
    if failures:
        for output in outputs:
            print('== ansible-playbook said\n' + output)
    print('%s: %s' % (sys.argv[1], 'FAILED (%d)' % len(failures) if failures else 'passed'))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
