#include "webdav/client.h"
