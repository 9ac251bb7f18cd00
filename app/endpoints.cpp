#include "app/endpoints.h"

#include "config/endpoints.h"

namespace brevane::app {

Endpoints BuiltInEndpoints() {
  Endpoints built{Text(endpoints::kLoginUrl), Text(endpoints::kAnnouncementUrl), Text(endpoints::kBoardHost),
                  Text(endpoints::kContactUrl)};
#ifdef BREVANE_DEMO_CERTIFICATE
  // A demo build against the local demo forum over HTTPS.
  built.test_certificate_file = BREVANE_DEMO_CERTIFICATE;
#endif
  return built;
}

}  // namespace brevane::app
