#!/usr/bin/env bash
# Runs one case of fleet_test.py (module, rollout or failing-batch) with the Python that runs
# ansible-playbook, which has Ansible's own library; exits 77, and ctest counts the case as
# skipped, when ansible-core is not installed.
# Usage: run.sh CASE SOURCE_ROOT EMULATED_PROGRAM WORK_DIR
set -u
case="$1"
if ! playbook="$(command -v ansible-playbook)"; then
    echo "ansible $case: skipped, ansible-playbook is not installed (Debian's ansible-core)"
    exit 77
fi
# The interpreter of its first line: "/usr/bin/python3", or "/usr/bin/env python3".
read -r -a python < <(sed -n '1s/^#![[:space:]]*//p' "$playbook")
if [ ${#python[@]} -eq 0 ] || ! "${python[@]}" -c 'import ansible.module_utils.basic' 2>/dev/null; then
    echo "ansible $case: skipped, the Python of $playbook cannot import Ansible"
    exit 77
fi
exec "${python[@]}" "$(dirname "${BASH_SOURCE[0]}")/fleet_test.py" "$@"
