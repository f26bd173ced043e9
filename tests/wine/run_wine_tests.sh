#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the Windows engine programs under Wine, driven as a Windows chess interface drives them:
# through relay.exe (tests/wine/relay.cpp, built here with the MinGW-w64 compiler the programs
# are built with), which gives the engine real Windows pipes. Under Wine a pipe inherited from
# a Linux parent cannot be peeked at, so without the relay every poll would see waiting input.
#
#   tests/wine/run_wine_tests.sh [--work DIR] PROGRAM.exe...   tests each program
#   tests/wine/run_wine_tests.sh --available                   exit 0 when 64-bit Wine is here
#   tests/wine/run_wine_tests.sh --why-not-32                  why a 32-bit program cannot run
#
# Every program's imports are checked. A 32-bit program runs only where a 32-bit Wine
# (Debian's wine32:i386) runs natively; elsewhere its run is skipped with the reason. The last
# line is "wine: N passed, N failed" (", N skipped" when some were); the exit code is 1 when
# anything failed.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
work=
programs=()
while (($#)); do
    case $1 in
    --work) work=$2; shift 2 ;;
    --available) question=available; shift ;;
    --why-not-32) question=why-not-32; shift ;;
    *) programs+=("$1"); shift ;;
    esac
done

# The 64-bit loader: Debian keeps it out of PATH, other distributions call it wine64 or wine.
loader=
for candidate in "$(command -v wine64)" /usr/lib/wine/wine64 "$(command -v wine)"; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then loader=$candidate; break; fi
done
if [ "${question-}" = available ]; then
    [ -n "$loader" ] && command -v x86_64-w64-mingw32-g++ >/dev/null
    exit
fi
if [ -z "$loader" ]; then echo "wine tests: no Wine loader (install wine64)" >&2; exit 1; fi

# Why a 32-bit program cannot run here, or nothing when it can.
i386Blocked() {
    local handler
    for handler in /proc/sys/fs/binfmt_misc/*; do
        if [ -f "$handler" ] && grep -q '^enabled' "$handler" 2>/dev/null && grep -q 'interpreter .*qemu-i386' "$handler"; then
            echo "32-bit x86 programs run through qemu-user here, under which Wine's 32-bit threads crash"
            return
        fi
    done
    local wine32
    wine32=$(dirname "$loader")/wine
    if [ ! -x "$wine32" ]; then
        echo "no 32-bit Wine (Debian's wine32:i386, which .ci/run installs where the kernel runs 32-bit x86 programs)"
    elif ! "$wine32" --version >/dev/null 2>&1; then
        echo "the kernel cannot run the 32-bit Wine loader"
    fi
}

if [ "${question-}" = why-not-32 ]; then
    i386Blocked
    exit 0
fi

wineserver_program=$(dirname "$loader")/wineserver64
[ -x "$wineserver_program" ] || wineserver_program=$(command -v wineserver)

work=${work:-$(pwd)/build/wine}
mkdir -p "$work"
work=$(cd "$work" && pwd)

export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

ReplySeconds=10     # for any reply that needs no search
SearchSeconds=60    # for "go depth 6" under Wine
ExitSeconds=5       # from "quit" or the end of input to the program's exit
StopLimitMs=2000    # a "bestmove" later than this after "stop" fails the test (a loaded machine)
ThinkSeconds=1      # how long an infinite search runs before it is ended

passed=0 failed=0 skipped=0
latencies=()

pass() { passed=$((passed + 1)); echo "PASS $*"; }
fail() { failed=$((failed + 1)); echo "FAIL $*"; }
skip() { skipped=$((skipped + 1)); echo "SKIP $*"; }

# The wall clock in microseconds, into $now: no subshell, whose fork would add to every time
# measured.
tick() { local t=$EPOCHREALTIME; now=$((10#${t/./})); }

# The moves a legal answer may be: white's first moves, and black's replies to 1. e4.
WhiteFirstMoves=" a2a3 a2a4 b2b3 b2b4 c2c3 c2c4 d2d3 d2d4 e2e3 e2e4 f2f3 f2f4 g2g3 g2g4 h2h3 h2h4 b1a3 b1c3 g1f3 g1h3 "
BlackRepliesToE4=" a7a6 a7a5 b7b6 b7b5 c7c6 c7c5 d7d6 d7d5 e7e6 e7e5 f7f6 f7f5 g7g6 g7g5 h7h6 h7h5 b8a6 b8c6 g8f6 g8h6 "

# --- building the relay ---------------------------------------------------------------------

compiler=
for candidate in x86_64-w64-mingw32-g++-win32 x86_64-w64-mingw32-g++; do
    if command -v "$candidate" >/dev/null; then compiler=$candidate; break; fi
done
relay=$work/relay64.exe
if [ -z "$compiler" ]; then echo "wine tests: no x86_64-w64-mingw32-g++" >&2; exit 1; fi
if [ ! -e "$relay" ] || [ "$here/relay.cpp" -nt "$relay" ]; then
    "$compiler" -std=c++20 -O2 -Wall -Wextra -Wshadow -Werror -static -s -o "$relay" "$here/relay.cpp" || {
        echo "wine tests: the relay does not build" >&2
        exit 1
    }
fi

# --- the Wine prefix ------------------------------------------------------------------------

if [ ! -e "$WINEPREFIX/system.reg" ]; then
    echo "creating the Wine prefix $WINEPREFIX"
    started=$SECONDS
    "$loader" wineboot -i >"$work/wineboot.log" 2>&1 || { echo "wine tests: wineboot failed" >&2; cat "$work/wineboot.log" >&2; exit 1; }
    echo "prefix ready in $((SECONDS - started)) s"
fi

windowsPath() { local path; path=$(cd "$(dirname "$1")" && pwd)/$(basename "$1"); echo "Z:${path//\//\\}"; }

# --- one engine behind the relay --------------------------------------------------------------

# Starts the relay and the program; to_engine and from_engine are its standard streams.
start() {
    local options=("$@")
    rm -f "$work/in" "$work/out"
    mkfifo "$work/in" "$work/out"
    "$loader" "$relay" "${options[@]}" "$(windowsPath "$program")" <"$work/in" >"$work/out" 2>"$work/relay.err" &
    relay_pid=$!
    exec {to_engine}>"$work/in" {from_engine}<"$work/out"
    transcript=()
    line_end=$'\n'
    console=no
}

# The program alone at a console: Wine makes a console of a terminal, so script(1) gives it
# one, and lines are typed with the Enter key's carriage return. Wine echoes what is typed and
# draws the cursor with escape sequences; the reader drops both.
startConsole() {
    rm -f "$work/in" "$work/out"
    mkfifo "$work/in" "$work/out"
    script -q -e -c "'$loader' '$(windowsPath "$program")'" /dev/null <"$work/in" >"$work/out" 2>"$work/relay.err" &
    relay_pid=$!
    exec {to_engine}>"$work/in" {from_engine}<"$work/out"
    transcript=()
    line_end=$'\r'
    console=yes
}

send() { printf '%s%s' "$1" "$line_end" >&"$to_engine"; }

closeInput() { exec {to_engine}>&-; }

# Reads one line into $line within the given seconds (fractions allowed); false on timeout or
# at the end of output.
readLine() {
    IFS= read -r -t "$1" -u "$from_engine" line || return 1
    line=${line%$'\r'}
    if [ "$console" = yes ]; then
        line=${line//$'\r'/}
        while [[ $line =~ $'\e'\[[0-9?\;]*[A-Za-z] ]]; do line=${line/"${BASH_REMATCH[0]}"/}; done
    fi
    transcript+=("$line")
}

# Reads lines until one matches the pattern (a bash regular expression); false when the time
# runs out or the output ends first.
expectMatch() {
    local pattern=$1 seconds=$2 deadline
    tick
    deadline=$((now + seconds * 1000000))
    while true; do
        tick
        local left=$((deadline - now)) wait_for
        ((left > 0)) || return 1
        printf -v wait_for '%d.%06d' $((left / 1000000)) $((left % 1000000))
        readLine "$wait_for" || return 1
        [[ $line =~ $pattern ]] && return 0
    done
}

# Ends the relay and every Windows program of the test prefix: an engine that hangs would
# otherwise go on searching after its relay, or the terminal that held it, has gone.
endEverything() {
    kill "$relay_pid" 2>/dev/null
    "$wineserver_program" -k 2>/dev/null
    wait "$relay_pid" 2>/dev/null
}

# Waits for the relay to end; sets exit_code (or "none" when it is still running, and then
# ends it).
waitForExit() {
    local seconds=$1 begun deadline
    tick
    begun=$now
    deadline=$((begun + seconds * 1000000))
    while kill -0 "$relay_pid" 2>/dev/null && tick && ((now < deadline)); do sleep 0.01; done
    if kill -0 "$relay_pid" 2>/dev/null; then
        exit_code=none
        endEverything
    else
        wait "$relay_pid"
        exit_code=$?
    fi
    tick
    exit_ms=$(((now - begun) / 1000))
}

finish() {
    [ -n "${to_engine-}" ] && exec {to_engine}>&- 2>/dev/null
    kill -0 "$relay_pid" 2>/dev/null && endEverything
    exec {from_engine}<&-
    to_engine=
}

# The rest of the output once the program has ended.
restOfOutput() {
    rest=""
    while readLine 1; do rest+="$line"$'\n'; done
}

showTranscript() { printf '    | %s\n' "${transcript[@]: -12}"; sed 's/^/    ! /' "$work/relay.err"; }

# --- the tests ----------------------------------------------------------------------------------

testImports() {
    local dlls unexpected
    dlls=$(x86_64-w64-mingw32-objdump -p "$program" | sed -n 's/^\s*DLL Name: //p' | sort -u | tr '\n' ' ')
    # Windows' own libraries only: no MinGW runtime (libstdc++, libgcc, libwinpthread).
    unexpected=$(tr ' ' '\n' <<<"$dlls" | grep -v -i -x -E '|kernel32\.dll|msvcrt\.dll|ntdll\.dll|advapi32\.dll|user32\.dll')
    if [ -n "$dlls" ] && [ -z "$unexpected" ]; then
        pass "$name imports only system DLLs: $dlls"
    else
        fail "$name imports: ${dlls:-nothing readable}"
    fi
}

# A 32-bit program must be marked large-address-aware, or Windows gives it only 2 GiB of
# address space, which leaves no room for a large hash table.
testLargeAddressAware() {
    local header
    header=$(x86_64-w64-mingw32-objdump -p "$program")
    if grep -q -i "large address aware" <<<"$header"; then
        pass "$name is large-address-aware"
    else
        fail "$name is not marked large-address-aware"
    fi
}

# "bench" as testing frameworks run it: nothing read from the input, the signature at depth 8
# alone on the last line with the speed, exit code 0.
testBench() {
    local last code
    timeout 300 "$loader" "$program" bench 8 </dev/null >"$work/bench.out" 2>"$work/bench.err"
    code=$?
    last=$(tr -d '\r' <"$work/bench.out" | tail -n 1)
    if [ "$code" = 0 ] && [[ $last =~ ^764843\ nodes\ [0-9]+\ nps$ ]]; then
        pass "$name bench 8: $last"
    else
        fail "$name bench 8: exit code $code, last line '$last'"
        sed 's/^/    ! /' "$work/bench.err" | tail -5
    fi
}

testUciReply() {
    start
    send uci
    local expected=("id name Orvath 0.3b $flavour" "id author Kelvane"
        "option name Hash type spin default 32 min 4 max 2048" "option name Clear Hash type button"
        "option name MultiPV type spin default 1 min 1 max 500"
        "option name Threads type spin default 1 min 1 max 32" "option name Ponder type check default false"
        "option name UCI_Chess960 type check default false"
        "option name Move Overhead type spin default 70 min 0 max 5000"
        "option name OwnBook type check default false" "option name BookFile type string default <empty>"
        "uciok")
    local got=() i
    for ((i = 0; i < ${#expected[@]}; i++)); do readLine "$ReplySeconds" && got+=("$line"); done
    send isready
    readLine "$ReplySeconds"; local ready=$line
    send "#threads"
    readLine "$ReplySeconds"; local threads=$line
    send quit
    waitForExit "$ExitSeconds"
    restOfOutput
    if [ "${got[*]}" = "${expected[*]}" ] && [ ${#got[@]} -eq ${#expected[@]} ] && [ "$ready" = readyok ] &&
        [ "$threads" = "#threads 32" ] && [ "$exit_code" = 0 ] && [ -z "$rest" ]; then
        pass "$name uci: the ${#expected[@]} lines exactly, readyok, 32 threads, quit exits 0 in $exit_ms ms"
    else
        fail "$name uci: reply, readyok, '$threads', exit code $exit_code, after quit '$rest'"
        showTranscript
    fi
    finish
}

# With an argument, the search runs on that many threads.
testDepthSix() {
    local threads=${1:-1}
    start
    [ "$threads" = 1 ] || send "setoption name Threads value $threads"
    send "position startpos moves e2e4"
    send "go depth 6"
    local sent ms deepest=""
    tick
    sent=$now
    local found=no
    while readLine "$SearchSeconds"; do
        [[ $line =~ ^info.*\ depth\ ([0-9]+) ]] && deepest=${BASH_REMATCH[1]}
        if [[ $line =~ ^bestmove\ ([a-h][1-8][a-h][1-8][qrbn]?)$ ]]; then found=${BASH_REMATCH[1]}; break; fi
    done
    tick
    ms=$(((now - sent) / 1000))
    send isready
    expectMatch '^readyok$' "$ReplySeconds"; local ready=$?
    send quit
    waitForExit "$ExitSeconds"
    if [[ $BlackRepliesToE4 == *" $found "* ]] && [ "$deepest" = 6 ] && [ $ready = 0 ] && [ "$exit_code" = 0 ]; then
        pass "$name go depth 6 after 1. e4 on $threads thread(s): bestmove $found in $ms ms, last info at depth $deepest"
    else
        fail "$name go depth 6 on $threads thread(s): bestmove '$found', last depth '$deepest', exit code $exit_code"
        showTranscript
    fi
    finish
}

# An infinite search writes no bestmove by itself; "stop" brings it at once. Five rounds.
testStop() {
    start
    local round early="" late="" answers="" ms
    for round in 1 2 3 4 5; do
        send "position startpos"
        send "go infinite"
        if expectMatch '^bestmove' "$ThinkSeconds"; then early+=" round $round"; fi
        local sent
        tick
        sent=$now
        send stop
        if expectMatch '^bestmove ' "$ReplySeconds"; then
            tick
            ms=$(((now - sent) / 1000))
            latencies+=("$ms")
            answers+=" ${line#bestmove } ($ms ms)"
            [[ $WhiteFirstMoves == *" ${line#bestmove } "* ]] || late+=" illegal ${line#bestmove }"
            ((ms <= StopLimitMs)) || late+=" $ms ms"
        else
            late+=" no bestmove in round $round"
        fi
    done
    send isready
    expectMatch '^readyok$' "$ReplySeconds"; local ready=$?
    send "#threads"
    readLine "$ReplySeconds"; local threads=$line
    send quit
    waitForExit "$ExitSeconds"
    if [ -z "$early$late" ] && [ $ready = 0 ] && [ "$threads" = "#threads 32" ] && [ "$exit_code" = 0 ]; then
        pass "$name go infinite, stop ${ThinkSeconds} s later:$answers; still 32 threads"
    else
        fail "$name go infinite then stop: early bestmove:${early:- none}; faults:${late:- none}; '$threads'; exit code $exit_code"
        showTranscript
    fi
    finish
}

testQuitDuringSearch() {
    start
    send "position startpos"
    send "go infinite"
    sleep "$ThinkSeconds"
    local sent
    tick
    sent=$now
    send quit
    expectMatch '^bestmove ' "$ReplySeconds"; local answered=$? move=${line#bestmove }
    waitForExit "$ExitSeconds"
    tick
    local ms=$(((now - sent) / 1000))
    if [ $answered = 0 ] && [[ $WhiteFirstMoves == *" $move "* ]] && [ "$exit_code" = 0 ]; then
        pass "$name go infinite then quit: bestmove $move, exit code 0, $ms ms after quit"
    else
        fail "$name go infinite then quit: bestmove '$move', exit code $exit_code"
        showTranscript
    fi
    finish
}

# The interface closes its end of the engine's input in the middle of a search.
testEndOfInputDuringSearch() {
    start
    send "position startpos"
    send "go infinite"
    sleep "$ThinkSeconds"
    closeInput
    expectMatch '^bestmove ' "$ReplySeconds"; local answered=$? move=${line#bestmove }
    waitForExit "$ExitSeconds"
    if [ $answered = 0 ] && [[ $WhiteFirstMoves == *" $move "* ]] && [ "$exit_code" = 0 ]; then
        pass "$name end of input during a search: bestmove $move, exit code 0 ($(sed -n 's/^relay: //p' "$work/relay.err"))"
    else
        fail "$name end of input during a search: bestmove '$move', exit code $exit_code"
        showTranscript
    fi
    finish
}

# The interface goes away: both pipes break during a search. The engine must leave, not spin.
testInterfaceGone() {
    start --vanish
    send "position startpos"
    send "go infinite"
    sleep "$ThinkSeconds"
    closeInput
    waitForExit $((ExitSeconds + 10))
    local note
    note=$(sed -n 's/^relay: //p' "$work/relay.err")
    if [ "$exit_code" = 0 ] && [[ $note == "engine exited with code 0"* ]]; then
        pass "$name both pipes broken during a search: $note"
    else
        fail "$name both pipes broken during a search: exit code $exit_code; $note"
        showTranscript
    fi
    finish
}

testEndOfInputWhenIdle() {
    start
    send isready
    expectMatch '^readyok$' "$ReplySeconds"; local ready=$?
    closeInput
    waitForExit "$ExitSeconds"
    restOfOutput
    if [ $ready = 0 ] && [ "$exit_code" = 0 ] && [ -z "$rest" ]; then
        pass "$name end of input when idle: exit code 0 after $exit_ms ms, nothing written"
    else
        fail "$name end of input when idle: exit code $exit_code, wrote '$rest'"
        showTranscript
    fi
    finish
}

# The Windows clock decides when a timed search ends.
testMoveTime() {
    start
    # Timed from a running program: Wine takes a while to start one.
    send isready
    expectMatch '^readyok$' "$ReplySeconds"
    send "position startpos"
    local sent ms
    tick
    sent=$now
    send "go movetime 500"
    expectMatch '^bestmove ' "$ReplySeconds"; local answered=$? move=${line#bestmove }
    tick
    ms=$(((now - sent) / 1000))
    send quit
    waitForExit "$ExitSeconds"
    if [ $answered = 0 ] && [[ $WhiteFirstMoves == *" $move "* ]] && ((ms >= 480 && ms <= 2000)) && [ "$exit_code" = 0 ]; then
        pass "$name go movetime 500: bestmove $move after $ms ms"
    else
        fail "$name go movetime 500: bestmove '$move' after $ms ms, exit code $exit_code"
        showTranscript
    fi
    finish
}

# At a console the input poll peeks at key events instead of a pipe. Keys typed before Wine
# has set the terminal up reach the engine without their carriage return, so "isready" is
# typed until the engine answers; then an infinite search is stopped and the program quit.
testConsole() {
    if ! command -v script >/dev/null; then
        skip "$name at a console: no script(1) to give it a terminal"
        return
    fi
    startConsole
    # The first console of a new Wine prefix can take well over ten seconds to show any
    # output (its console host is being set up), so the engine is asked for up to a minute.
    local tries ready=no
    for ((tries = 1; tries <= 60; ++tries)); do
        send isready
        if expectMatch 'readyok' 1; then ready=yes; break; fi
    done
    # Later answers to the repeated "isready" are read before the search starts.
    while readLine 0.5; do :; done
    send "position startpos"
    send "go infinite"
    local early=no sent ms move=""
    if expectMatch 'bestmove' "$ThinkSeconds"; then early=yes; fi
    tick
    sent=$now
    send stop
    if expectMatch 'bestmove [a-h][1-8][a-h][1-8]' "$ReplySeconds"; then
        tick
        ms=$(((now - sent) / 1000))
        move=${line##*bestmove }
    fi
    send quit
    waitForExit "$ExitSeconds"
    if [ $ready = yes ] && [ $early = no ] && [[ $WhiteFirstMoves == *" $move "* ]] && ((ms <= StopLimitMs)) &&
        [ "$exit_code" = 0 ]; then
        latencies+=("$ms")
        pass "$name at a console: go infinite, stop ${ThinkSeconds} s later: $move ($ms ms); quit exits 0"
    else
        fail "$name at a console: readyok $ready, early bestmove $early, bestmove '$move' after ${ms-?} ms, exit code $exit_code"
        showTranscript
    fi
    finish
}

# --- main -----------------------------------------------------------------------------------------

started=$SECONDS
for program in "${programs[@]}"; do
    name=$(basename "$program")
    if [ ! -f "$program" ]; then
        fail "$name: no such program"
        continue
    fi
    case $(x86_64-w64-mingw32-objdump -f "$program" 2>/dev/null | sed -n 's/.*file format //p') in
    pei-x86-64) flavour=x64 ;;
    pei-i386) flavour=w32 ;;
    *) fail "$name: not a Windows program"; continue ;;
    esac
    testImports
    if [ $flavour = w32 ]; then
        testLargeAddressAware
        reason=$(i386Blocked)
        if [ -n "$reason" ]; then
            skip "$name under Wine: $reason"
            continue
        fi
    fi
    testUciReply
    testBench
    testDepthSix
    testDepthSix 2
    testStop
    testQuitDuringSearch
    testEndOfInputDuringSearch
    testInterfaceGone
    testEndOfInputWhenIdle
    testMoveTime
    testConsole
done
rm -f "$work/in" "$work/out"
# The Wine server of this prefix ends by itself a few seconds after its last program.
timeout 30 "$wineserver_program" -w 2>/dev/null || "$wineserver_program" -k 2>/dev/null

if ((${#latencies[@]})); then
    echo "stop latency under Wine (ms): ${latencies[*]}"
fi
echo "wine tests took $((SECONDS - started)) s"
summary="wine: $passed passed, $failed failed"
((skipped)) && summary+=", $skipped skipped"
echo "$summary"
((failed == 0))
