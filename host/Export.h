// How the executables that load the module export the host's EI_ functions:
// the module looks them up by plain name in the executable.
#ifndef TRESSEL_HOST_EXPORT_H
#define TRESSEL_HOST_EXPORT_H
#if defined(_WIN32)
#define TRESSEL_HOST_EXPORT extern "C" __declspec(dllexport)
#else
#define TRESSEL_HOST_EXPORT extern "C" __attribute__((visibility("default")))
#endif
#endif  // TRESSEL_HOST_EXPORT_H
