# What the orvex command tests share, sourced by each with the command as its first argument: a
# scratch directory removed at the end, a settings file of the run's own, no display, and fail,
# which counts a failure and goes on.
orvex=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export XDG_CONFIG_HOME=$dir/config
unset DISPLAY
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
