#include "app/endpoints.h"

#include "config/endpoints.h"

namespace brevane::app {

Endpoints BuiltInEndpoints() {
  return {Text(endpoints::kLoginUrl), Text(endpoints::kAnnouncementUrl)};
}

}  // namespace brevane::app
