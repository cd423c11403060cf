#!/bin/sh
# openvpn runs this once the tunnel device is up. The helper takes the tunnel's gateway from the
# line below (its fifth word), so the line goes out whole, in a single write.
printf 'add net 0.0.0.0: gateway %s\n' "${route_vpn_gateway:-}"
