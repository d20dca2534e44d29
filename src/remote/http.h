// HTTP access to the maker's web locations (libcurl).
#pragma once

#include <QString>

namespace tivra::remote {

// Whether a connection to the address's host and port can be made within the timeout (the
// reachability test of the maker's web site). Never blocks longer than the timeout. Hosts under
// the reserved "invalid" domain are unreachable without any lookup.
bool siteReachable(const QString &url, int timeoutMs = 5000);

}  // namespace tivra::remote
