// The version, shared by the version resource and the command line's --version.
#pragma once

#define KORVANE_VERSION_MAJOR 1
#define KORVANE_VERSION_MINOR 48
#define KORVANE_VERSION_TEXT "1.48"
