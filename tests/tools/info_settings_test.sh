#!/usr/bin/env bash
# orvex info selects cameras to read their registers, and the library stores analog settings
# whenever a handle leaves a camera or is released: info must leave every stored setting as it
# was, printing the registers of each camera whose stored settings it can put back.
set -u
source "$(dirname "$0")/tool_test_support.sh"

key='[HKEY_CURRENT_USER\Software\Helvane\OrvexQX218Sdk'

# group NAME VALUE-NAME=VALUE...: one key of the settings file.
group() {
  printf '\n%s%s]\n' "$key" "${1:+\\$1}"
  shift
  local value
  for value in "$@"; do printf '"%s"=dword:%08x\n' "${value%%=*}" "${value#*=}"; done
}

# gains DEVICE Global ColorG1 ColorR ColorB ColorG2 Exposure V_Mirror AutoIris
gains() {
  group "Gain_0$1" Global="$2" ColorG1="$3" ColorR="$4" ColorB="$5" ColorG2="$6" Exposure="$7" \
    V_Mirror="$8" AutoIris="$9"
}

# check WHAT CAMERAS EXPECTED GROUPS: a settings file with these analog groups (lines of gains
# arguments), then orvex info with that many virtual cameras: every stored value stays, and
# info prints each line of EXPECTED.
check() {
  local what=$1 groups=$4 line
  export ORVEX_VIRTUAL_CAMERAS=$2
  rm -rf "$XDG_CONFIG_HOME"
  mkdir -p "$XDG_CONFIG_HOME/Helvane"
  {
    echo 'Windows Registry Editor Version 5.00'
    group "" Size=0 Color=2 SubSample=0 WaitTime=10 Clock=0
    group Size_00 TH=1320 TV=1024 EH=1280 EV=1024 EHS=39 EVS=0 Buf=20
    group Filter Brightness=3 Contrast=0 Hue=0 Saturation=0 Sharpness=0 R_Gain=100 G_Gain=100 \
      B_Gain=100 Gamma=120 BayerMode=3
    group Gray GainR1=128 GainG1=128 GainG2=128 GainB1=128 OffsetR1=0 OffsetG1=0 OffsetG2=0 \
      OffsetB1=0
    while read -r line; do [[ -n $line ]] && gains $line; done <<<"$groups"
  } >"$XDG_CONFIG_HOME/Helvane/OrvexQX218Sdk.reg"
  # Every command's start and release store the settings of camera 0 as loaded: the file as
  # the library writes it is the one to keep.
  "$orvex" devices >/dev/null || fail "$what: orvex devices failed"
  "$orvex" settings >"$dir/before"
  cp "$XDG_CONFIG_HOME/Helvane/OrvexQX218Sdk.reg" "$dir/before.reg"

  "$orvex" info >"$dir/info" 2>"$dir/stderr" || fail "$what: orvex info failed: $(cat "$dir/stderr")"
  "$orvex" settings >"$dir/after"
  diff -u "$dir/before" "$dir/after" >"$dir/diff" || fail "$what: stored settings changed:
$(cat "$dir/diff")"
  cmp -s "$dir/before.reg" "$XDG_CONFIG_HOME/Helvane/OrvexQX218Sdk.reg" ||
    fail "$what: the settings file changed"
  while read -r line; do
    [[ -z $line ]] || grep -qF -- "$line" "$dir/info" || fail "$what: no '$line' in: $(cat "$dir/info")"
  done <<<"$3"
}

check "one camera, GlobalGain 20 stored" 1 \
  "camera 0 (OrvexQX218_01): register 0x40 = 0x0011, register 0x52 = 0x0028 (40)" \
  "0 20 20 20 20 20 40 0 0"

# Camera 0's AutoIris and zero gains must not reach the others; each is read with its own
# stored exposure.
check "three cameras, each with settings of its own" 3 \
  "camera 0 (OrvexQX218_01): register 0x40 = 0x0011, register 0x52 = 0x0050 (80)
camera 1 (OrvexQX218_02): register 0x40 = 0x0000, register 0x52 = 0x0064 (100), ROM ID: 56 43 41 4d 2d 30 30 31
camera 2 (OrvexQX218_03): register 0x40 = 0x0000, register 0x52 = 0x00c8 (200)" \
  "0 20 1 2 3 4 80 1 1
1 5 6 7 8 9 100 1 0
2 63 0 63 0 63 200 1 0"

# Cameras whose stored settings the library cannot take back are listed, not selected.
check "cameras whose settings cannot be put back" 6 \
  "camera 0 (OrvexQX218_01): register 0x40
camera 1 (OrvexQX218_02): not selected, as that would change its stored analog settings: none are stored for it yet
camera 2 (OrvexQX218_03): not selected, as that would change its stored analog settings: they hold
camera 3 (OrvexQX218_04): not selected, as that would change its stored analog settings: they hold
camera 4 (OrvexQX218_05): not selected, as that would change its stored analog settings: their V_Mirror
camera 5 (OrvexQX218_06): register 0x40" \
  "0 20 20 20 20 20 40 0 1
2 0 0 0 0 0 40 0 2
3 64 0 0 0 0 40 0 0
4 0 0 0 0 0 40 1 0
5 1 2 3 4 5 60 0 1"

((failures == 0)) || exit 1
echo "all info checks passed"
