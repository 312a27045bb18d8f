#!/usr/bin/env bash
# The task bar's view of the program, read from outside: one button, owned by the application's
# window (shown, without area), whose text is the application title at each step that sets it;
# the main window owned by that window and no button of its own; minimising, restoring and
# Alt+Tab taking the whole program. Wine here has no task bar: the probe acts as it would.
source "$(dirname "$0")/lib.sh"

# taskbar WHAT KEY=VALUE...: passes when the probe's report comes to hold every pair in time.
taskbar() {
  local what=$1 report
  shift
  if report=$(probe wait-taskbar 10000 "$@"); then
    pass "$what"
  else
    fail "$what: $(tr '\n' ' ' <<<"$report")"
  fi
}

start_program
taskbar "without a document the button reads the application title" \
  buttons=1 button=Folirex area=0x0 state=normal main-owner=button main-appwindow=0 main=shown
focus_main
keys alt+F4
expect "Alt+F4 ends the process" wait_exit 10

sample=$(winpath "$E2E_SAMPLE")
start_program "$sample"
taskbar "opening sets the button's text with the caption" \
  buttons=1 "button=Folirex - $sample" "main-caption=Folirex - $sample" main-owner=button

focus_view
keys alt+a Return
expect "the About box opens" probe wait-focus "About Folirex" 10000
keys Tab Escape
taskbar "back from the About box the button reads Folirex, the caption keeps the path" \
  buttons=1 button=Folirex "main-caption=Folirex - $sample" main=shown foreground=main

focus_view
keys alt+space n
taskbar "the window menu's Minimize minimises the button's window and hides the main one" \
  buttons=1 state=minimised main=hidden
probe button restore
taskbar "a click on the button restores the program" \
  buttons=1 state=normal area=0x0 main=shown foreground=main
probe button minimise
taskbar "a click on the active program's button minimises it" state=minimised main=hidden
probe button switch
taskbar "Alt+Tab brings it back" buttons=1 state=normal main=shown foreground=main

focus_view
keys alt+F4
expect "Alt+F4 ends the process" wait_exit 10
finish
