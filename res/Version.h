#pragma once

// The one source of the product's version numbers.
#define OSCIMO_VERSION_MAJOR 1
#define OSCIMO_VERSION_MINOR 0
#define OSCIMO_VERSION_PATCH 0
#define OSCIMO_VERSION_BUILD 1
#define OSCIMO_VERSION_STRING "1.0.0.1"
