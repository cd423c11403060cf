#!/bin/sh
# openvpn runs this once the tunnel device is up, before it routes anything into it. The helper
# reads what it prints: the tunnel's gateway (the fifth word of the first line), the device, and
# every option the server pushed (openvpn's foreign_option_1, _2, …), which the helper parses
# and checks before it uses any of them, then the report's end. It goes out in a single write.
report=$(printf 'add net 0.0.0.0: gateway %s\ntunnel-link %s' "${route_vpn_gateway:-}" "${dev:-}")
index=1
while eval "option=\${foreign_option_$index:-}"; [ -n "$option" ]; do
  report=$(printf '%s\npushed-option %s' "$report" "$option")
  index=$((index + 1))
done
printf '%s\ntunnel-report-end\n' "$report"
