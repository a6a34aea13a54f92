// Names of the executable's own resources.
#pragma once

#define ORVEX_MANIFEST_ID 1
#define ORVEX_RT_MANIFEST 24
