// The one place that holds the program's version; read by the resource script and the code.
#pragma once

#define ORVEX_VERSION_MAJOR 5
#define ORVEX_VERSION_MINOR 0
#define ORVEX_VERSION_RELEASE 0
#define ORVEX_VERSION_BUILD 0
#define ORVEX_VERSION_TEXT "5.0.0.0"
