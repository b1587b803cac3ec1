// The module's resource file, opened through the host's file functions and
// held in theRF. Open only around the commands and objects that need it.
#ifndef TRESSEL_PLUGIN_RESOURCEFILE_H
#define TRESSEL_PLUGIN_RESOURCEFILE_H

#include "ui/EIFunctions.h"

// The open resource file, or null. At most one is open at a time.
extern EI_ResourceFile theRF;

// Opens `name` in the host's home directory; the handle or null. Both host
// references are destroyed whatever happened.
EI_ResourceFile OpenResourceFile(const char* name);

#endif  // TRESSEL_PLUGIN_RESOURCEFILE_H
