// Linkage of the host libraries as seen from the plug-in, the host program and the libraries
// themselves.
#pragma once

// Each library defines its BUILDING_ macro while it is compiled; everyone else imports.
#if defined(_WIN32)
#define DORNEL_HOST_EXPORT __declspec(dllexport)
#define DORNEL_HOST_IMPORT __declspec(dllimport)
#else
#define DORNEL_HOST_EXPORT __attribute__((visibility("default")))
#define DORNEL_HOST_IMPORT __attribute__((visibility("default")))
#endif

#if defined(BUILDING_BRISKO)
#define BRISKO_API DORNEL_HOST_EXPORT
#else
#define BRISKO_API DORNEL_HOST_IMPORT
#endif

#if defined(BUILDING_QORVIX)
#define QORVIX_API DORNEL_HOST_EXPORT
#else
#define QORVIX_API DORNEL_HOST_IMPORT
#endif

#if defined(BUILDING_TEMBLA)
#define TEMBLA_API DORNEL_HOST_EXPORT
#else
#define TEMBLA_API DORNEL_HOST_IMPORT
#endif

#if defined(BUILDING_PELMAR)
#define PELMAR_API DORNEL_HOST_EXPORT
#else
#define PELMAR_API DORNEL_HOST_IMPORT
#endif
