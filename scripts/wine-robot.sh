# Sourced: plays the person at the keyboard of Wine programs on an X display
# (Xvfb), with xdotool. In a Wine virtual desktop every top-level window is an
# X window named by its caption, so the robot finds the dialogs by caption and
# types as a person would; the keys go to whichever Wine window is active.
# Used by scripts/screenshots.sh and tests/scripts/wine-installer.sh.

ROBOT_SETUP="Veltra Oracle Monitoring Agents Setup"  # the example installer's caption

# robot_window REGEX: the X window of the visible Wine window whose caption
# matches, once it shows (at most a minute); fails if it never does.
robot_window() {
  local id
  id=$(timeout 60 xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -1)
  [ -n "$id" ] || { echo "robot: no window \"$1\" showed" >&2; return 1; }
  sleep 0.5  # the window takes the focus and draws itself once it is mapped
  echo "$id"
}

# robot_keys KEY...: types the keys (xdotool key names) into the active window.
robot_keys() { xdotool key --delay 150 "$@"; }

# robot_gone ID: waits until the window is no longer shown (at most a minute)
# and the window under it has taken the focus back.
robot_gone() {
  for _ in $(seq 300); do
    xdotool search --onlyvisible --name . 2>/dev/null | grep -qx "$1" || { sleep 0.5; return 0; }
    sleep 0.2
  done
  echo "robot: window $1 did not close" >&2; return 1
}

# robot_until_exit PID KEY: presses KEY every half second until the process
# ends (at most two minutes): the installer's last page enables its button
# only when the work behind it is done.
robot_until_exit() {
  for _ in $(seq 240); do
    kill -0 "$1" 2>/dev/null || return 0
    robot_keys "$2"
    sleep 0.5
  done
  echo "robot: the installer did not end" >&2; return 1
}

# robot_move_first SELECT: in "Configure Database Agents" (window SELECT),
# as the dialog opens with the focus on "Servers to Monitor": Tab to the
# available list, Home picks its first server, Tab to "<<" and press it; the
# properties dialog opens with the focus on its OK button.
robot_move_first() {
  robot_keys Tab Home Tab space
  robot_window '^Database Server Properties$'
}

# robot_installer ANSWER PID [SHOT]: the person installing with the example
# installer (process PID) on its directory page. "Install", then in the
# selection dialog: ok moves the first discovered server with its defaults and
# presses OK; cancel presses Cancel and answers the installer's message box.
# Leaves by the last page's default button (Close), or its Cancel after an
# abort. With SHOT, the whole screen is captured while the selection dialog shows.
robot_installer() {
  local answer=$1 installer=$2 shot=${3:-} select props box
  robot_window "^$ROBOT_SETUP" >/dev/null || return 1
  robot_keys Return
  select=$(robot_window '^Configure Database Agents$') || return 1
  [ -z "$shot" ] || { sleep 1; import -window root "$shot"; } || return 1
  if [ "$answer" = ok ]; then
    props=$(robot_move_first) || return 1
    robot_keys Return && robot_gone "$props" || return 1
    # The focus is back on "<<"; past "&New" (">>" and "&Edit" are disabled) is OK.
    robot_keys Tab Tab Return && robot_gone "$select" || return 1
    robot_until_exit "$installer" Return
  else
    robot_keys Escape && robot_gone "$select" || return 1
    box=$(robot_window "^$ROBOT_SETUP\$") || return 1
    robot_keys Return && robot_gone "$box" || return 1
    robot_until_exit "$installer" Escape
  fi
}
