// The one place that names the version and the publisher. Read by windres
// (the version resource, the version string), by the C++ compiler and by the
// build, which hands the version to the installer and the archive names.
#ifndef VANTORIX_VERSION_H
#define VANTORIX_VERSION_H

#define VX_VERSION_MAJOR 5
#define VX_VERSION_MINOR 0
#define VX_VERSION_PATCH 0
#define VX_VERSION_BUILD 90
#define VX_VERSION_TEXT "5.0.0.90"
#define VX_PUBLISHER "Brisquandel Software"

#endif
