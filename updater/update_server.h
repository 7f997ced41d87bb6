// The maker's update server, fixed when the program is built (TIDEWELL_UPDATE_SERVER); its
// value is in the build's generated update_values.cpp.
#pragma once

namespace tidewell {

// Scheme, host and optional port, without a trailing slash; each application's base
// address is this followed by "/Abacor" or "/Quillon".
extern const char serveurmaj[];

// Requests go through the proxy of the user's settings (TIDEWELL_PROXY "system"), or direct.
extern const bool proxysysteme;

}  // namespace tidewell
