# Sourced by the runs that serve an exported tree with nginx as a user-level
# process on the loopback interface, with deploy/nginx's site and snippet as
# they are except for the port, the paths and the log:
#   . tools/nginx-local.sh; nginx_export WORK ...; nginx_local WORK/nginx PORT WORK/site/current; ...; nginx_local_stop
# SITE is the folder that holds resources/media/uk/downloads/vodazovovarar/ (the
# `current` of an export). Gives $nginx (the master's process id); the access log
# is WORK/access.log, one line per request as content-server writes them
# (METHOD PATH STATUS BYTES). Run as root, nginx runs as nobody. False when
# nginx did not start within 10 seconds. With NGINX_WITHOUT_ADDRESS_LIMIT set (for
# a load run, where one address makes all the load) the snippet's limit_conn
# line is left out.
nginx_local() {
  local work=$1 port=$2 site=$3 deploy
  deploy=$(cd "$(dirname "${BASH_SOURCE[0]}")/../deploy/nginx" && pwd)
  mkdir -p "$work/nginx-temp"
  local unlimited=()
  [ -z "${NGINX_WITHOUT_ADDRESS_LIMIT:-}" ] || unlimited=(-e '/^limit_conn /d')
  sed -e "s|root /var/lib/norvale/site/current;|root $site;|" "${unlimited[@]}" \
    "$deploy/snippets/norvale-ticker.conf" >"$work/norvale-ticker-snippet.conf"
  sed -e "s|listen 80;|listen 127.0.0.1:$port;|" -e '/listen \[::\]:80;/d' \
    -e "s|include /etc/nginx/snippets/norvale-ticker.conf;|include $work/norvale-ticker-snippet.conf;|" \
    "$deploy/norvale-ticker.conf" >"$work/norvale-ticker-site.conf"
  cat >"$work/nginx.conf" <<CONF
worker_processes 1;
pid $work/nginx.pid;
error_log $work/error.log warn;
events { worker_connections 4096; }
worker_rlimit_nofile 8192;
http {
    include /etc/nginx/mime.types;
    default_type application/octet-stream;
    sendfile on;
    tcp_nopush on;
    log_format norvale '\$request_method \$uri \$status \$body_bytes_sent';
    access_log $work/access.log norvale;
    client_body_temp_path $work/nginx-temp/body;
    proxy_temp_path $work/nginx-temp/proxy;
    fastcgi_temp_path $work/nginx-temp/fastcgi;
    uwsgi_temp_path $work/nginx-temp/uwsgi;
    scgi_temp_path $work/nginx-temp/scgi;
    include $work/norvale-ticker-site.conf;
}
CONF
  local run=()
  if [ "$(id -u)" -eq 0 ]; then
    chown -R nobody "$work"
    chmod a+rx "$work"
    run=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
  fi
  "${run[@]}" nginx -e "$work/error.log" -p "$work" -c "$work/nginx.conf" -g 'daemon off;' &
  nginx=$!
  local i
  for i in $(seq 100); do
    if [ -s "$work/nginx.pid" ]; then return 0; fi
    kill -0 "$nginx" 2>/dev/null || break
    sleep 0.1
  done
  cat "$work/error.log" >&2 2>/dev/null
  return 1
}

# A fresh export of a content folder with deploy/norvale-export into WORK/site
# (its `current` link then names it), readable by the user nginx runs as. False,
# with the export's output on standard error, when it failed.
#   nginx_export WORK CONTENT-SERVER CONTENT-FOLDER PUBLIC-URL [OPTIONS]
nginx_export() {
  local work=$1 out
  chmod a+rx "$work"
  if ! out=$(SITE_DIR=$work/site CONTENT_SERVER=$2 CONTENT_DIR=$3 PUBLIC_URL=$4 EXTRA_OPTIONS=${5:-} \
    "$(dirname "${BASH_SOURCE[0]}")/../deploy/norvale-export" 2>&1); then
    echo "$out" >&2
    return 1
  fi
  chmod -R a+rX "$work/site"
  echo "$out" | tail -n 1
}

nginx_local_stop() {
  if [ -n "${nginx:-}" ]; then
    kill -QUIT "$nginx" 2>/dev/null
    wait "$nginx" 2>/dev/null
  fi
  nginx=""
}
