#!/usr/bin/env bash
# Runs inside xvfb-run (see take.sh): PROGRAM OUTDIR. There is no window
# manager, so the 800 x 600 window sits at (0, 0) and screen coordinates are
# window coordinates.
set -euo pipefail
program="$1"
out="$2"
export XDG_RUNTIME_DIR="$(mktemp -d)"
chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM

shot() {
  import -window root "$out/$1"
  echo "wrote $out/$1"
}
click() {
  xdotool mousemove "$1" "$2" click 1
  sleep "${3:-0.8}"
}
# The close button, then the program's own end (it waits for discovery to stop).
close_program() {
  click 773 19 0.2
  for _ in $(seq 50); do
    kill -0 "$1" 2>/dev/null || { wait "$1" || true; return 0; }
    sleep 0.1
  done
  echo "xvfb-session: the program did not end after its close button" >&2
  kill "$1"
  wait "$1" || true
}

# No devices on this network: the message after five seconds.
"$program" &
pid=$!
sleep 6.5
shot message.png
click 400 376   # OK, the single button centred under the text
close_program "$pid"

# The demo network: devices, a selection, the About panel, the help window.
"$program" --demo &
pid=$!
sleep 8
shot main.png
click 210 344   # the third row
shot selected.png
click 638 19    # info
shot about.png
click 672 522   # Back
click 686 19 1.5  # help
shot help.png
close_program "$pid"

# The same network for a Japanese user: the language file and the CJK
# fallback font.
LANG=ja_JP.UTF-8 LC_ALL= LC_MESSAGES= "$program" --demo &
pid=$!
sleep 8
click 210 344   # the third row
shot selected-ja.png
close_program "$pid"

# The updater, against a private nginx on loopback that offers an update:
# its question, centred on the screen. (The progress dialog needs a release
# signed by a trusted key: updater-shots renders it, see take.sh.)
updater="$(dirname "$program")/norvale-autoupdate"
site="$(mktemp -d)"
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes \
  -keyout "$site/key.pem" -out "$site/cert.pem" -days 2 -subj /CN=127.0.0.1 \
  -addext subjectAltName=IP:127.0.0.1 2>/dev/null
mkdir -p "$site/www/firmware" "$site/install/1.2.2026.341"
ln -s 1.2.2026.341 "$site/install/current"
printf '<html><a href="https://127.0.0.1:8443/Norvale.zip">upgrade file</a></html>' \
  >"$site/www/firmware/list.asp"
cat >"$site/nginx.conf" <<CONF
daemon off; master_process off; worker_processes 1;
pid $site/nginx.pid; error_log $site/error.log;
events { worker_connections 16; }
http { access_log off; default_type text/html; client_body_temp_path $site/body;
  proxy_temp_path $site/proxy; fastcgi_temp_path $site/fcgi; uwsgi_temp_path $site/uwsgi;
  scgi_temp_path $site/scgi;
  server { listen 127.0.0.1:8443 ssl; root $site/www;
    ssl_certificate $site/cert.pem; ssl_certificate_key $site/key.pem; } }
CONF
/usr/sbin/nginx -p "$site" -c "$site/nginx.conf" -e "$site/error.log" &
nginx_pid=$!
sleep 0.5
NORVALE_UPDATE_SERVER=https://127.0.0.1:8443 CURL_CA_BUNDLE="$site/cert.pem" \
  "$updater" "VER:1.20.2026.341" "DIR:$site/install" &
pid=$!
sleep 2.5
shot updater-question.png
kill "$pid"
wait "$pid" || true
kill "$nginx_pid"
wait "$nginx_pid" || true
rm -rf "$site"

# The shares of the demo devices (a private smbd, as root in the namespace),
# mounted through GVfs on a private session bus. HOME is a scratch folder,
# so drive letters and shortcuts never touch the real home.
export HOME="$(mktemp -d)"
dbus-run-session -- "$program" --demo &
pid=$!
sleep 9
click 210 464       # Office NAS
click 591 284 4     # Map Network Drive: the shares are listed, then the question
click 608 376 3     # No: the panel lists the shares without mapping them
click 400 199 1.5   # the first share: which letter?
click 466 376 5     # Yes, Z: (mounted through GVfs)
click 400 293 1.5   # the third share
click 466 376 5     # Yes, the next free letter
shot drivemap.png
click 400 246 1.5   # the second share
click 600 255 1     # open the letter list
shot drivemap-letter.png
click 600 255 0.5   # close it
click 608 376 1     # No
click 672 522       # Back
click 591 344 4     # Browse Network Shares
shot sharefolders.png
click 672 522       # Back
close_program "$pid"
