#include "browser/tests/page_fixture.h"
