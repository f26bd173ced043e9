#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the counting programs of a profile-guided build (one configured with ORVATH_PGO=generate)
# on the training workload; they write their counts to BUILD/profile/, and BUILD/profile/trained
# marks the end. Nothing is run when the counts are newer than the programs.
#
#   tools/train_profile.sh BUILD
#
# The workload is the bench, which is the search as a game plays it, and perft with and without
# bulk counting, from the start position and from one with castling, en passant and promotions
# on the board, weighted so that each one's hot code counts as hot. About 10 s on one core.
#
# The same counts on every run and in every clone are what make two builds of the optimised
# programs equal: the counting build's clock stands still (tools/still_clock.cpp), and the
# programs run with address randomisation off, an empty environment and the same relative
# names, so that the addresses the counts see do not vary either.
set -euo pipefail

if [ $# -ne 1 ] || [ ! -d "$1" ]; then
    echo "usage: tools/train_profile.sh BUILD" >&2
    exit 2
fi
cd "$1"
programs=(orvath-bench orvath-perft)
stamp=profile/trained
if [ -f "$stamp" ] && [ -z "$(find "${programs[@]}" -newer "$stamp")" ]; then
    exit 0
fi

# setarch is part of util-linux; where it is missing or not permitted, the run goes ahead with
# randomised addresses, which may change the odd count.
fixed=(env -i)
if setarch "$(uname -m)" -R true 2>/dev/null; then
    fixed=(setarch "$(uname -m)" -R env -i)
fi
run() {
    echo "training: $*"
    "${fixed[@]}" "$@" >/dev/null
}

rm -rf profile
tricky="r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"
run ./orvath-bench 12
run ./orvath-perft 6 startpos
run ./orvath-perft 6 startpos --bulk
run ./orvath-perft 4 fen $tricky
run ./orvath-perft 5 fen $tricky --bulk
touch "$stamp"
