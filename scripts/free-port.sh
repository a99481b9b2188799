# Sourced by the scripts that start services on loopback.
# free_port VAR: sets VAR to a TCP port nobody listens on and not handed out before.
free_port_taken=" "
free_port() {
  local port
  while :; do
    port=$((20000 + RANDOM % 40000))
    case $free_port_taken in *" $port "*) continue ;; esac
    if ! ss -Htln "sport = :$port" | grep -q .; then
      free_port_taken+="$port "
      printf -v "$1" '%s' "$port"
      return
    fi
  done
}
