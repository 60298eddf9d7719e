#!/usr/bin/python
# -*- coding: utf-8 -*-
# The Ansible module of flashtool: a fleet rollout over the command line's JSON document.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: flashtool
short_description: Update the firmware of optical drives with a flashtool build
description:
  - Runs a flashtool build's command line on the host with C(--json) and reports each drive's
    ending. One build updates one drive model with the one firmware it carries.
  - The program's own checks decide what is sent to a drive (the model, the brand, no downgrade,
    no disc in the tray, an intact image); the module only asks for the update and reads the answer.
  - Nothing waits on a question. Standard input is closed, and C(--yes) answers the start-up
    notice and the confirmation of an update; check mode asks neither.
  - The module never restarts the host. When C(reboot_required) is true, restart it, for example
    with M(ansible.builtin.reboot), before the drive is used again.
  - A host fails when a drive's update failed, was not confirmed, was refused (a disc in the tray,
    a newer firmware, another model) or could not be started. A drive already up to date is ok and
    unchanged.
  - The drives are updated one after another, one program run each; after a drive that did not end
    well the next ones are not attempted.
options:
  program:
    description:
      - The program to run, a name looked up in C(PATH) or a path.
      - C(flashtool) for the project's demonstration build, C(flashtool-kd-4225) for the build for
        the KD-4225, and so on; C(flashtool-emulated) runs over virtual drives.
    type: str
    default: flashtool
  drives:
    description:
      - The drives to update, each a row of C(flashtool --list) (C(0)) or a node (C(/dev/sg1),
        C(/dev/sr0)).
      - Without it, every drive of this build's model that C(--list) shows, named by its node.
        A host with none fails, as does one whose list is incomplete (a drive that could not be
        opened or identified).
    type: list
    elements: raw
  options:
    description:
      - Further command-line words, put before the action, for example
        C(["--drives", "/srv/drives.json"]) for the emulated program's drives, or
        C(["--trace=/var/log/flashtool-trace.txt"]).
      - They are given to every run of the program; a C(--trace=FILE) keeps the last drive's
        commands only, as each run empties it.
      - The module owns the actions and the answers; C(--update), C(--check), C(--all),
        C(--list), C(--json), C(--yes), C(--restart), C(--allow-reinstall), C(--allow-older) and
        the like are refused here.
    type: list
    elements: str
    default: []
  allow_reinstall:
    description: Install the firmware again on a drive that already has it (C(--allow-reinstall)).
    type: bool
    default: false
  allow_older:
    description: Install the firmware over a newer revision, a downgrade (C(--allow-older)).
    type: bool
    default: false
notes:
  - In check mode each drive gets C(--check), which runs every check of an update and sends
    nothing that changes a drive; C(changed) then says whether an update would start.
  - The program reaches a drive through its SCSI generic node; run the task as root
    (C(become)) or as a member of the group C(cdrom).
requirements:
  - a flashtool build on the host
'''

EXAMPLES = r'''
- name: Update every drive of this build's model
  flashtool:
  register: flashtool_result

- name: Restart the hosts whose drives were updated
  ansible.builtin.reboot:
  when: flashtool_result.reboot_required

- name: Update two named drives with the KD-4225 build, installing again where it is there
  flashtool:
    program: flashtool-kd-4225
    drives: [0, /dev/sg3]
    allow_reinstall: true

- name: Update the emulated program's drives of a scenario file
  flashtool:
    program: flashtool-emulated
    options: ["--drives", "/srv/flashtool/drives.json"]
'''

RETURN = r'''
changed:
  description: Whether a drive was updated; in check mode, whether an update would start.
  returned: always
  type: bool
drives:
  description:
    - Each drive of the program's JSON documents, in the order they ran, as the program wrote it
      (C(row), C(identification), C(revisionBefore), C(revisionAfter), C(ending), C(verified),
      C(resultCode), C(result), C(exitStatus), C(log)).
    - C(ending) is C(updated), C(upToDate), C(notConfirmed), C(failed), C(refused) or
      C(nothingSent); in check mode C(canUpdate), C(upToDate) or C(refused).
  returned: always
  type: list
  elements: dict
  sample:
    - row: 0
      identification: "ORIN    DVD RW QV-5500A "
      revisionBefore: 1.0d
      revisionAfter: 1.0e
      ending: updated
      verified: true
      resultCode: 0
      result: Updated
      exitStatus: 0
reboot_required:
  description:
    - Whether the host must be restarted because a drive was written; updated, and also not
      confirmed or failed, whose texts ask for a restart before anything else. In check mode,
      whether an update would ask for one.
  returned: always
  type: bool
rc:
  description:
    - The exit status of the program, or of the worst of its runs when there were several
      (0 updated, 3 up to date, 12 to 19 refused or failed, 20 not confirmed, 1 the drives could
      not be reached, 2 a usage error).
  returned: always
  type: int
summary:
  description: How the drives ended, counted, in the program's words ("2 updated, 1 up to date").
  returned: always
  type: str
commands:
  description: The command lines the module ran, in order.
  returned: always
  type: list
  elements: list
'''

import json
import os
import subprocess

from ansible.module_utils.basic import AnsibleModule

# The command line's words the module sets itself: a user's copy would change the action, answer
# a question the module answers, or restart the host behind the playbook's back.
OWNED_OPTIONS = frozenset([
    '--list', '--update', '--all', '--check', '--record', '--history', '--help', '--version',
    '--json', '--yes', '--restart', '--allow-reinstall', '--allow-older', '--',
])
OWNED_LETTERS = frozenset('yhV')

# Today --update takes one drive: one run per drive. When it takes several, one run can carry
# them all (the program then decides what follows a failed drive).
DRIVES_PER_RUN = 1

# The endings a host may have and still succeed, with the exit statuses that go with them.
GOOD_ENDINGS = {'update': ('updated', 'upToDate'), 'check': ('canUpdate', 'upToDate')}
GOOD_STATUSES = (0, 3)
WRITTEN_ENDINGS = ('updated', 'notConfirmed', 'failed')

# How bad an ending is, as the program ranks them for --all; a run with no drive is worse still.
SEVERITY = {'updated': 0, 'canUpdate': 0, 'upToDate': 1, 'refused': 2, 'nothingSent': 3,
            'notConfirmed': 4, 'failed': 5}
NO_DRIVE = 6
SUMMARY_ORDER = (('updated', 'updated'), ('canUpdate', 'can update'), ('upToDate', 'up to date'),
                 ('notConfirmed', 'not confirmed'), ('refused', 'refused'), ('failed', 'failed'),
                 ('nothingSent', 'not started'))


def fail(module, msg, **found):
    """Ends the task as failed, with every return value there (a playbook that goes on past a
    failure still reads them)."""
    result = dict(changed=False, drives=[], reboot_required=False, rc=None, summary='',
                  commands=[])
    result.update(found)
    module.fail_json(msg=msg, **result)


def owned_option(word):
    """The module's own option that `word` gives, or None."""
    if word.startswith('--'):
        name = word.split('=', 1)[0]
        return name if name in OWNED_OPTIONS else None
    if word.startswith('-') and len(word) > 1:
        taken = OWNED_LETTERS.intersection(word[1:])
        return '-' + sorted(taken)[0] if taken else None
    return None


def drive_words(module):
    """The drives asked for, as command-line words; None for the default (every drive)."""
    drives = module.params['drives']
    if drives is None:
        return None
    if not drives:
        fail(module, "drives lists no drive; leave it out to update every drive of this build's "
                     'model')
    words = []
    for drive in drives:
        if isinstance(drive, bool) or not isinstance(drive, (int, str)):
            fail(module, 'drives: %r is neither a row nor a node' % (drive,))
        word = str(drive).strip()
        if not word or word.startswith('-') or (isinstance(drive, int) and drive < 0):
            fail(module, 'drives: %r is neither a row nor a node' % (drive,))
        if word not in words:
            words.append(word)
    return words


def run_program(module, command):
    """One run with --json: its exit status, its document (None when it wrote none) and the
    standard error it left. Standard input is closed: a question can never wait on it."""
    try:
        process = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                 stderr=subprocess.PIPE, check=False)
    except OSError as error:
        fail(module, '%s could not be started: %s' % (command[0], error), commands=[command])
    stdout = process.stdout.decode('utf-8', 'replace')
    stderr = process.stderr.decode('utf-8', 'replace')
    document = None
    try:
        parsed = json.loads(stdout)
        # A document counts only when it is whole and agrees with the exit status: a status
        # of 0 beside a document that says otherwise is no success.
        if (isinstance(parsed, dict) and isinstance(parsed.get('drives'), list) and
                all(isinstance(drive, dict) for drive in parsed['drives']) and
                parsed.get('exitStatus') == process.returncode):
            document = parsed
    except ValueError:
        pass
    return {'command': command, 'rc': process.returncode, 'document': document,
            'stdout': stdout, 'stderr': stderr}


def unreadable(run):
    """Why a run gave no document to rely on, with the end of what it wrote."""
    tail = (run['stderr'].strip().splitlines() or run['stdout'].strip().splitlines() or [''])[-1]
    return ('%s ended with exit status %d and no JSON document that agrees with it: %s'
            % (os.path.basename(run['command'][0]), run['rc'], tail or 'it wrote nothing'))


def drives_of_this_model(module, program, options):
    """The drives --list shows as this build's model, each by its first node (else its row),
    so that a drive keeps its name between the list and its update."""
    run = run_program(module, [program] + options + ['--list', '--json'])
    document = run['document']
    if document is None or run['rc'] != 0:
        error = document.get('error') if document else None
        fail(module, ('--list: %s' % error) if error else unreadable(run), rc=run['rc'],
             summary=document.get('summary', '') if document else '', commands=[run['command']])
    words = []
    for drive in document['drives']:
        if drive.get('updatable') is True:
            nodes = drive.get('nodes') or []
            words.append(nodes[0] if nodes else str(drive.get('row')))
    if not words:
        fail(module, "no drive of this build's model on this host (--list: %s)"
             % document.get('summary', ''), rc=run['rc'], summary=document.get('summary', ''),
             commands=[run['command']])
    return words


def commands(program, options, drives, check_mode, params):
    """The program's runs, in order: each with its drives, --json and the answers it needs."""
    answers = []
    if params['allow_reinstall']:
        answers.append('--allow-reinstall')
    if params['allow_older']:
        answers.append('--allow-older')
    action = '--check=' if check_mode else '--update='
    for start in range(0, len(drives), DRIVES_PER_RUN):
        batch = drives[start:start + DRIVES_PER_RUN]
        words = [action + batch[0]] + batch[1:]
        tail = ['--json'] + ([] if check_mode else ['--yes']) + answers
        yield batch, [program] + options + words + tail


def run_ended_well(run, kind):
    document = run['document']
    return (document is not None and run['rc'] in GOOD_STATUSES and bool(document['drives']) and
            all(drive.get('ending') in GOOD_ENDINGS[kind] and
                drive.get('exitStatus') in GOOD_STATUSES for drive in document['drives']))


def drive_trouble(drive, build_revision, kind):
    """What went wrong with one drive and what to do, in the program's own terms."""
    name = 'drive %s (%s)' % (drive.get('row'), json.dumps(drive.get('identification', '')))
    ending = drive.get('ending')
    result = drive.get('result')
    if ending == 'failed':
        return ('%s: the update FAILED (%s); the drive may hold part of the new firmware. Restart '
                'the host and run the update again.' % (name, result))
    if ending == 'notConfirmed':
        return ('%s: NOT CONFIRMED: the drive took every page of %s but did not confirm it, and '
                'still reports %s. Restart the host, check the revision with --list, and run the '
                'update again if it is not %s.'
                % (name, build_revision, drive.get('revisionAfter'), build_revision))
    if ending == 'refused' and result == 'DowngradeRefused':
        return ('%s: its firmware %s is newer than this build\'s %s: not installed (allow_older '
                'installs the older one).' % (name, drive.get('revisionBefore'), build_revision))
    if ending == 'refused' and kind == 'check':
        return ('%s: an update would be refused (%s); nothing was sent that changes it.'
                % (name, result))
    if ending == 'refused':
        return '%s: not updated (%s); nothing was written to it.' % (name, result)
    return '%s: %s (%s, exit status %s).' % (name, ending, result, drive.get('exitStatus'))


def run_trouble(run, kind):
    """Why a run did not end well: its first drive that did not, else its error."""
    document = run['document']
    if document is None:
        return unreadable(run)
    revision = (document.get('build') or {}).get('revision', '')
    for drive in document['drives']:
        if drive.get('ending') not in GOOD_ENDINGS[kind] or \
                drive.get('exitStatus') not in GOOD_STATUSES:
            return drive_trouble(drive, revision, kind)
    if document.get('error'):
        return '%s: %s' % (os.path.basename(run['command'][0]), document['error'])
    return unreadable(run)


def severity(run):
    drives = run['document']['drives'] if run['document'] else []
    if not drives:
        return NO_DRIVE
    return max(SEVERITY.get(drive.get('ending'), NO_DRIVE) for drive in drives)


def summary_of(drives):
    counts = []
    for ending, words in SUMMARY_ORDER:
        count = sum(1 for drive in drives if drive.get('ending') == ending)
        if count:
            counts.append('%d %s' % (count, words))
    return ', '.join(counts) or 'no drive'


def run_drives(module, program, options, drives):
    """Every run, in order, and what went wrong in them."""
    kind = 'check' if module.check_mode else 'update'
    runs = []
    troubles = []
    for batch, command in commands(program, options, drives, module.check_mode, module.params):
        run = run_program(module, command)
        runs.append(run)
        if run_ended_well(run, kind):
            continue
        troubles.append(run_trouble(run, kind))
        left = drives[drives.index(batch[-1]) + 1:]
        # A check sends nothing that changes a drive: the rest are checked all the same. After
        # a drive that did not take its update, the host is left as it is for someone to look.
        if left and not module.check_mode:
            troubles.append('Not attempted: %s.' % ', '.join(left))
            break
    return runs, troubles


def result_of(runs, check_mode):
    """The task's return values: the documents' drives merged, the worst run's status."""
    reports = [drive for run in runs if run['document'] for drive in run['document']['drives']]
    worst = max(runs, key=severity)
    summary = summary_of(reports)
    if len(runs) == 1 and worst['document'] is not None:
        summary = worst['document'].get('summary') or summary
    # In check mode, what an update would do: Ansible's meaning of changed there.
    changes = ('canUpdate',) if check_mode else ('updated',)
    restarts = ('canUpdate',) if check_mode else WRITTEN_ENDINGS
    return dict(
        changed=any(drive.get('ending') in changes for drive in reports),
        drives=reports,
        reboot_required=any(drive.get('ending') in restarts for drive in reports),
        rc=worst['rc'],
        summary=summary,
        commands=[run['command'] for run in runs],
    )


def main():
    module = AnsibleModule(
        argument_spec=dict(
            program=dict(type='str', default='flashtool'),
            drives=dict(type='list', elements='raw'),
            options=dict(type='list', elements='str', default=[]),
            allow_reinstall=dict(type='bool', default=False),
            allow_older=dict(type='bool', default=False),
        ),
        supports_check_mode=True,
    )
    options = module.params['options']
    for word in options:
        if owned_option(word):
            fail(module, "options: %s is the module's to give; use its own options (drives, "
                         'allow_reinstall, allow_older, check mode)' % owned_option(word))
    program = module.params['program']
    if os.sep not in program:
        found = module.get_bin_path(program)
        if found is None:
            fail(module, 'program: %s is not in PATH (%s)' % (program, os.environ.get('PATH', '')))
        program = found
    elif not os.access(program, os.X_OK):
        fail(module, 'program: %s is not an executable file' % program)

    drives = drive_words(module) or drives_of_this_model(module, program, options)
    runs, troubles = run_drives(module, program, options, drives)
    if len(runs) > 1 and any(word.startswith('--trace') for word in options):
        module.warn('--trace: every run of the program empties its file, which keeps the last '
                    "drive's commands only")
    result = result_of(runs, module.check_mode)
    if troubles:
        fail(module, ' '.join(troubles), **result)
    # Ansible takes a non-zero rc for a failure unless told otherwise: 3 (up to date) is not.
    module.exit_json(failed=False, **result)


if __name__ == '__main__':
    main()
